// Hostile and damaged interlaced input: field pairs (long-term pairs,
// picture order count type 0, several slices per field) and a mixed
// frame/field sequence with explicit weights, mutated, truncated, reordered
// and dropped, fed as archive records (a frame or a field pair) or one
// field at a time, to decoders of the stream's size and of other sizes.
// The decoder must stay inside its buffers (proven under ASan+UBSan) and
// keep returning well-formed results.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codecs/h264/avc_decoder.h"
#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/codecs/h264/avc_test_support.h"
#include "tests/codecs/h264/field_streams.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/field_pair_records.h"

namespace {

using avc_test::Decoder;
using avc_test::DecodesWithinBounds;
using Units = std::vector<std::vector<uint8_t>>;

struct Cut {
  Units records;  // a frame picture or a field pair each
  Units fields;   // a picture (frame or field) each
};

Cut CutStream(const std::vector<uint8_t>& stream) {
  Cut cut;
  const std::vector<AccessUnit> pictures = SplitAnnexB(stream);
  for (const AccessUnit& unit : pictures) cut.fields.push_back(unit.bytes);
  for (const AccessUnit& unit : JoinFieldPairs(pictures)) cut.records.push_back(unit.bytes);
  return cut;
}

class FieldRobustness : public testing::TestWithParam<avc_test::FieldStream> {};

TEST_P(FieldRobustness, SurvivesMutatedTruncatedReorderedAndDroppedUnits) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  const avc_test::FieldStream& s = GetParam();
  testing_support::ScratchDir dir(std::string("h264_field_robust_") + s.name);
  const auto file = avc_test::MakeFieldStream(s, dir.path());
  ASSERT_TRUE(file);
  const Cut cut = CutStream(testing_support::ReadFile(*file));
  ASSERT_EQ(cut.records.size(), static_cast<size_t>(s.frames));
  const uint32_t widthMbs = static_cast<uint32_t>(s.width + 15) / 16, heightMbs = static_cast<uint32_t>(s.height + 31) / 32 * 2;

  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    // Mostly the stream's own size; now and then one too small or too large.
    const uint32_t w = round % 5 == 3 ? widthMbs / 2 : round % 5 == 4 ? widthMbs + 3 : widthMbs;
    const uint32_t h = round % 5 == 3 ? heightMbs - 2 : round % 5 == 4 ? heightMbs + 2 : heightMbs;
    Decoder decoder = avc_test::CreateDecoder(w, h, 1 + round % 4, round & 1 ? kAvcDecBumping : 0);
    ASSERT_TRUE(decoder);
    Units units = round % 3 == 2 ? cut.fields : cut.records;
    avc_test::DamageUnits(units, random);
    if (round % 5 == 0) std::shuffle(units.begin() + 1, units.end(), random);
    if (round % 7 == 0) units.erase(units.begin() + 1 + static_cast<long>(random() % (units.size() - 1)));
    ASSERT_TRUE(DecodesWithinBounds(decoder.get(), units, static_cast<int>(w * 16), static_cast<int>(h * 16))) << "round " << round;
  }
  // Every prefix of a field pair record after a clean start, and the
  // second field without its first.
  Decoder decoder = avc_test::CreateDecoder(widthMbs, heightMbs, 4, 0);
  const int maxWidth = static_cast<int>(widthMbs * 16), maxHeight = static_cast<int>(heightMbs * 16);
  ASSERT_TRUE(DecodesWithinBounds(decoder.get(), {cut.records[0], cut.records[1]}, maxWidth, maxHeight));
  const std::vector<uint8_t>& record = cut.records[s.frames / 2];
  for (size_t n = 0; n <= record.size(); n += 5) {
    ASSERT_TRUE(DecodesWithinBounds(decoder.get(), {std::vector<uint8_t>(record.begin(), record.begin() + static_cast<long>(n))},
                          maxWidth, maxHeight));
  }
  Decoder fresh = avc_test::CreateDecoder(widthMbs, heightMbs, 4, kAvcDecBumping);
  ASSERT_TRUE(DecodesWithinBounds(fresh.get(), {cut.fields[1], cut.fields[3], cut.fields[2]}, maxWidth, maxHeight));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FieldRobustness,
    testing::Values(
        // 72-line fields: five macroblock rows each, eight lines cropped.
        avc_test::FieldStream{"pairs", "field-pairs", "--long-term-marking --poc-type-0", 176, 144, 12,
                              "ref=3:partitions=all:slices=2"},
        avc_test::FieldStream{"mixed", "mixed", "--explicit-weights --bottom-first", 176, 128, 10,
                              "ref=3:partitions=all", "mandelbrot"}),
    [](const testing::TestParamInfo<avc_test::FieldStream>& info) { return std::string(info.param.name); });

}  // namespace
