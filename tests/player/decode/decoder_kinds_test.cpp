// The decoder-kind table: which kind each codec class opens, with and
// without the own H.264 choice.
#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "player/archive/vyx_format.h"
#include "player/decode/decoder_kinds.h"

namespace {

TEST(DecoderKinds, EachCodecClassOpensItsKindAndOwnH264TakesOnlyH264Records) {
  struct Case {
    int32_t codecClass;
    bool ownH264;
    std::optional<int32_t> kind;
  };
  const Case cases[] = {
      {CODEC_CLASS_MPEG4, false, DECODER_KIND_MPEG4}, {CODEC_CLASS_MPEG4, true, DECODER_KIND_MPEG4},
      {CODEC_CLASS_H264, false, DECODER_KIND_H264},   {CODEC_CLASS_H264, true, DECODER_KIND_QX264},
      {CODEC_CLASS_JPEG, false, DECODER_KIND_JPEG},   {CODEC_CLASS_JPEG, true, DECODER_KIND_JPEG},
      {CODEC_CLASS_QX264, false, DECODER_KIND_QX264}, {CODEC_CLASS_QX264, true, DECODER_KIND_QX264},
      {CODEC_CLASS_NONE, false, std::nullopt},        {CODEC_CLASS_NONE, true, std::nullopt},
      {7, true, std::nullopt},
  };
  for (const Case& c : cases) {
    VideoDecodeOptions options;
    options.ownH264 = c.ownH264;
    EXPECT_EQ(DecoderKindOfClass(c.codecClass, options), c.kind) << "class " << c.codecClass << " own " << c.ownH264;
  }
  std::set<int32_t> kinds;
  for (const DecoderKindRow& row : DecoderKindRows()) {
    EXPECT_TRUE(kinds.insert(row.kind).second) << row.name;
    EXPECT_NE(MakeDecoderKind(row.kind), nullptr) << row.name;
  }
  EXPECT_EQ(MakeDecoderKind(0), nullptr);
}

}  // namespace
