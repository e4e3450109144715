// The decoder's interface: creation limits, result codes, output formats,
// what a failed call leaves behind, and the VOL and VOP rules that decide
// which data decodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/mpeg4/mp4_comb_filter.h"
#include "codecs/pixels/output_formats.h"
#include "codecs/pixels/yuv_converters.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ScratchDir;

struct DecoderDeleter {
  void operator()(Mp4Decoder* d) const { Mp4Dec_Destroy(d, 0); }
};
using DecoderPtr = std::unique_ptr<Mp4Decoder, DecoderDeleter>;

DecoderPtr Create(int w, int h) {
  Mp4Decoder* d = nullptr;
  EXPECT_EQ(Mp4Dec_Create(&d, uint32_t(w), uint32_t(h), 0, 0), 0);
  return DecoderPtr(d);
}

int32_t Decode(Mp4Decoder* d, const std::vector<uint8_t>& data, int w, int h, std::vector<uint8_t>& out,
               int32_t format = OUTPUT_FORMAT_I420, int32_t stride = 0, uint32_t deinterlace = 0) {
  Mp4DecFrame f;
  f.width = uint32_t(w);
  f.height = uint32_t(h);
  f.data = data.data();
  f.length = data.size();
  f.output = out.data();
  f.format = format;
  f.stride = stride ? stride : w;
  f.deinterlace = deinterlace;
  return Mp4Dec_Decode(d, &f, 0);
}

// P-VOP, modulo_time_base 0, marker, 5-bit time increment (25 Hz), marker, vop_coded 0.
std::vector<uint8_t> NotCodedPVop() {
  Mp4BitWriter w;
  w.Put(0x000001B6, 32);
  w.Put(1, 2);
  w.Put(0b01, 2);
  w.Put(3, 5);
  w.Put(0b10, 2);
  w.Stuff();
  return w.bytes();
}

// Encoded once for the tests that need real pictures.
class Mp4DecoderApi : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::HaveProgram("ffmpeg")) return;
    dir_ = new ScratchDir("mp4_api");
    auto s = EncodeMp4TestStream(*dir_ / "s.m4v", kW, kH, 6, "-c:v mpeg4 -q:v 4 -flags +ildct+ilme",
                                 "scroll=h=0.02");
    if (s) {
      stream_ = new Mp4TestStream(std::move(*s));
      reference_ = new std::vector<std::string>(*FfmpegPictureMd5s(*dir_ / "s.m4v"));
    }
  }
  static void TearDownTestSuite() {
    delete stream_;
    delete reference_;
    delete dir_;
    stream_ = nullptr;
    reference_ = nullptr;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!stream_) ORLENTA_ABSENT("ffmpeg absent or failed to make the stream");
  }
  static constexpr int kW = 176, kH = 144;
  static ScratchDir* dir_;
  static Mp4TestStream* stream_;
  static std::vector<std::string>* reference_;
};
ScratchDir* Mp4DecoderApi::dir_ = nullptr;
Mp4TestStream* Mp4DecoderApi::stream_ = nullptr;
std::vector<std::string>* Mp4DecoderApi::reference_ = nullptr;

TEST(Mp4DecoderCreate, RefusesSizesOutsideOneTo8191) {
  for (auto [w, h] : {std::pair{0u, 16u}, {16u, 0u}, {8192u, 16u}, {16u, 8192u}, {0xFFFFFFFFu, 0xFFFFFFFFu}}) {
    Mp4Decoder* d = reinterpret_cast<Mp4Decoder*>(this);  // must be reset to null
    EXPECT_EQ(Mp4Dec_Create(&d, w, h, 0, 0), MP4DEC_ERR_ALLOCATION) << w << "x" << h;
    EXPECT_EQ(d, nullptr);
  }
  Mp4Decoder* d = nullptr;
  ASSERT_EQ(Mp4Dec_Create(&d, 8191, 17, 0, 0), 0);
  EXPECT_EQ(Mp4Dec_Destroy(d, 0), 0);
  EXPECT_EQ(Mp4Dec_Destroy(nullptr, 0), 0);
}

TEST(Mp4DecoderCalls, DataWithoutAVopGivesItsCode) {
  auto d = Create(64, 48);
  std::vector<uint8_t> out(I420Size(64, 48));
  const std::vector<std::pair<std::vector<uint8_t>, int32_t>> cases = {
      {{}, MP4DEC_ERR_NO_VOP},                              // empty: nothing to decode
      {{1, 2, 3, 4, 5, 6, 7}, MP4DEC_ERR_NO_VIDEO_OBJECT},  // no start code at all
      {{0, 0, 1}, MP4DEC_ERR_NO_VOP},                       // a start code prefix only
      {{0, 0, 1, 0xB6}, MP4DEC_ERR_NO_VOP},                 // a VOP start code cut short
      {{0, 0, 1, 0xB3, 0, 0, 0}, MP4DEC_ERR_NO_VOP},        // a group of VOPs and nothing more
  };
  for (const auto& [data, code] : cases) EXPECT_EQ(Decode(d.get(), data, 64, 48, out), code) << data.size();
}

TEST_F(Mp4DecoderApi, IntraAndPredictedPicturesEqualFfmpegsAndThePlanesAreTheOutput) {
  auto d = Create(kW, kH);
  std::vector<uint8_t> out(I420Size(kW, kH));
  for (size_t i = 0; i < stream_->units.size(); ++i) {
    ASSERT_EQ(Decode(d.get(), stream_->units[i], kW, kH, out), 0);
    EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[i]);
    Mp4DecPicture p;
    ASSERT_EQ(Mp4Dec_GetPicture(d.get(), &p), 0);
    std::vector<uint8_t> planes;
    for (int y = 0; y < kH; ++y) planes.insert(planes.end(), p.y + y * p.yStride, p.y + y * p.yStride + kW);
    for (const uint8_t* c : {p.u, p.v})
      for (int y = 0; y < kH / 2; ++y) planes.insert(planes.end(), c + y * p.uvStride, c + y * p.uvStride + kW / 2);
    EXPECT_EQ(planes, out);
  }
}

TEST_F(Mp4DecoderApi, PackedFormatsAreTheConvertersOfThePicture) {
  auto d = Create(kW, kH);
  std::vector<uint8_t> i420(I420Size(kW, kH));
  ASSERT_EQ(Decode(d.get(), stream_->units[0], kW, kH, i420), 0);
  const uint8_t* y = i420.data();
  const uint8_t* u = y + kW * kH;
  const uint8_t* v = u + (kW / 2) * (kH / 2);

  struct Case {
    int32_t format;
    void (*convert)(const uint8_t*, int, const uint8_t*, const uint8_t*, int, uint8_t*, int, int, int);
    int bytesPerPixel;
    bool flip, strideInBytes;
  };
  const Case cases[] = {
      {OUTPUT_FORMAT_RGB24, YuvToRgb24, 3, false, false},      {OUTPUT_FORMAT_RGB32, YuvToRgb32, 4, false, false},
      {OUTPUT_FORMAT_YUV422, YuvToYuy2, 2, false, true},       {OUTPUT_FORMAT_UYVY, YuvToUyvy, 2, false, true},
      {OUTPUT_FORMAT_RGB16, YuvToRgb565, 2, false, false},     {OUTPUT_FORMAT_RGB24_FLIP, YuvToRgb24, 3, true, false},
      {OUTPUT_FORMAT_RGB32_FLIP, YuvToRgb32, 4, true, false},  {OUTPUT_FORMAT_YUV422_FLIP, YuvToYuy2, 2, true, true},
      {OUTPUT_FORMAT_UYVY_FLIP, YuvToUyvy, 2, true, true},     {OUTPUT_FORMAT_RGB16_FLIP, YuvToRgb565, 2, true, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> ours(size_t(kW) * kH * size_t(c.bytesPerPixel)), expected(ours.size());
    auto again = Create(kW, kH);
    ASSERT_EQ(Decode(again.get(), stream_->units[0], kW, kH, ours, c.format), 0);
    c.convert(y, kW, u, v, kW / 2, expected.data(), kW, c.flip ? -kH : kH, c.strideInBytes ? kW * 2 : kW);
    EXPECT_EQ(ours, expected) << "format " << c.format;
  }

  // Format 9 is format 4 upside down.
  std::vector<uint8_t> top(size_t(kW) * kH * 4), bottom(top.size());
  auto a = Create(kW, kH), b = Create(kW, kH);
  Decode(a.get(), stream_->units[0], kW, kH, top, OUTPUT_FORMAT_RGB32);
  Decode(b.get(), stream_->units[0], kW, kH, bottom, OUTPUT_FORMAT_RGB32_FLIP);
  for (int row = 0; row < kH; ++row)
    ASSERT_TRUE(std::equal(top.begin() + row * kW * 4, top.begin() + (row + 1) * kW * 4,
                           bottom.begin() + (kH - 1 - row) * kW * 4));
}

TEST_F(Mp4DecoderApi, UnknownFormatsWriteNothingAndStillDecode) {
  for (int32_t format : {0, 2, 13, -1}) {
    auto d = Create(kW, kH);
    std::vector<uint8_t> out(I420Size(kW, kH), 0xA5);
    EXPECT_EQ(Decode(d.get(), stream_->units[0], kW, kH, out, format), 0) << format;
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0xA5; })) << format;
    // The picture was decoded all the same: the next P-VOP predicts from it.
    EXPECT_EQ(Decode(d.get(), stream_->units[1], kW, kH, out), 0);
    EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[1]);
  }
}

TEST_F(Mp4DecoderApi, AFailedVopLeavesTheLastGoodPictureAsReference) {
  auto d = Create(kW, kH);
  std::vector<uint8_t> out(I420Size(kW, kH));
  ASSERT_EQ(Decode(d.get(), stream_->units[0], kW, kH, out), 0);
  const std::vector<uint8_t> first = out;
  // The next P-VOP cut in its macroblocks, then garbled after its header.
  const auto& p = stream_->units[1];
  const size_t header = *VopFieldsPosition(p) / 8 + 4;
  std::vector<uint8_t> cut(p.begin(), p.begin() + ptrdiff_t(header + (p.size() - header) / 2));
  EXPECT_EQ(Decode(d.get(), cut, kW, kH, out), MP4DEC_MACROBLOCK_ERROR);
  EXPECT_EQ(out, first) << "nothing is written on failure";
  std::vector<uint8_t> garbled = p;
  for (size_t i = header + 2; i < garbled.size(); ++i) garbled[i] = 0;
  EXPECT_EQ(Decode(d.get(), garbled, kW, kH, out), MP4DEC_MACROBLOCK_ERROR);
  ASSERT_EQ(Decode(d.get(), p, kW, kH, out), 0);
  EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[1]);
}

TEST_F(Mp4DecoderApi, ANotCodedVopRepeatsThePreviousPicture) {
  auto d = Create(kW, kH);
  std::vector<uint8_t> out(I420Size(kW, kH));
  ASSERT_EQ(Decode(d.get(), stream_->units[0], kW, kH, out), 0);
  ASSERT_EQ(Decode(d.get(), stream_->units[1], kW, kH, out), 0);
  std::fill(out.begin(), out.end(), 0);
  EXPECT_EQ(Decode(d.get(), NotCodedPVop(), kW, kH, out), 0);
  EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[1]);
  // And the picture after it predicts from that same picture.
  ASSERT_EQ(Decode(d.get(), stream_->units[2], kW, kH, out), 0);
  EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[2]);
}

// Nothing predicted comes out before an I-VOP has decoded: not at the start,
// not after an I-VOP that failed; a B-VOP is skipped and closes nothing.
TEST_F(Mp4DecoderApi, PredictedVopsWaitForADecodedIntraVop) {
  const auto& intra = stream_->units[0];
  const auto& predicted = stream_->units[1];
  const size_t header = *VopFieldsPosition(intra) / 8 + 4;
  const std::vector<uint8_t> cutIntra(intra.begin(), intra.begin() + ptrdiff_t(header + (intra.size() - header) / 2));
  auto bVop = predicted;
  PatchBits(bVop, *VopFieldsPosition(bVop), 2, 2);
  struct Step {
    const std::vector<uint8_t>* unit;
    int32_t result;
  };
  const std::vector<uint8_t> notCoded = NotCodedPVop();
  // The stream's headers alone: the not-coded VOP is written for its VOL.
  const std::vector<uint8_t> headers(intra.begin(), intra.begin() + ptrdiff_t(header - 4));
  const Step steps[] = {
      {&headers, MP4DEC_ERR_NO_VOP},     {&predicted, MP4DEC_NO_REFERENCE}, {&notCoded, MP4DEC_NO_REFERENCE},
      {&intra, 0},
      {&bVop, MP4DEC_B_VOP_SKIPPED},     {&predicted, 0},                   {&cutIntra, MP4DEC_MACROBLOCK_ERROR},
      {&predicted, MP4DEC_NO_REFERENCE}, {&notCoded, MP4DEC_NO_REFERENCE},  {&intra, 0},
      {&predicted, 0},
  };
  auto d = Create(kW, kH);
  std::vector<uint8_t> out(I420Size(kW, kH));
  for (size_t i = 0; i < std::size(steps); ++i) {
    std::fill(out.begin(), out.end(), 0);
    EXPECT_EQ(Decode(d.get(), *steps[i].unit, kW, kH, out), steps[i].result) << "step " << i;
    if (steps[i].result != 0) {
      EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0; })) << "step " << i;
    }
  }
  EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[1]);
}

TEST_F(Mp4DecoderApi, ARefusedVolRefusesItsVopsUntilAVolIsAccepted) {
  // Created for another size: the stream's VOL is refused with 113, and so
  // is every VOP after it, headers or not.
  auto d = Create(kW * 2, kH);
  std::vector<uint8_t> out(I420Size(kW * 2, kH));
  EXPECT_EQ(Decode(d.get(), stream_->units[0], kW * 2, kH, out), MP4DEC_ERR_SIZE);
  EXPECT_EQ(Decode(d.get(), stream_->units[1], kW * 2, kH, out), MP4DEC_ERR_SIZE);

  // A VOL that is accepted lifts the refusal.
  ScratchDir dir("mp4_api_refusal");
  const auto right = EncodeMp4TestStream(dir / "r.m4v", kW * 2, kH, 2, "-c:v mpeg4 -q:v 4");
  ASSERT_TRUE(right);
  EXPECT_EQ(Decode(d.get(), right->units[0], kW * 2, kH, out), 0);
  EXPECT_EQ(testing_support::Md5Hex(out), FfmpegPictureMd5s(dir / "r.m4v")->at(0));
}

TEST_F(Mp4DecoderApi, VopHeadersThatCannotDecodeGive106AndKeepTheReference) {
  auto d = Create(kW, kH);
  std::vector<uint8_t> out(I420Size(kW, kH));
  ASSERT_EQ(Decode(d.get(), stream_->units[0], kW, kH, out), 0);
  // Fields after the start code: type 2, modulo_time_base 1 ('0'), marker,
  // time increment 5, marker, coded, rounding, intra_dc_vlc_thr 3,
  // top_field_first, alternate_vertical_scan, quant 5, fcode 3.
  const size_t at = *VopFieldsPosition(stream_->units[1]);
  const size_t quant = at + 2 + 1 + 1 + 5 + 1 + 1 + 1 + 3 + 2, fcode = quant + 5, dcThreshold = at + 12;
  struct Patch {
    size_t pos;
    int bits;
    uint32_t value;
  };
  for (const Patch& patch : {Patch{quant, 5, 0}, Patch{fcode, 3, 0}, Patch{at, 2, 3}, Patch{dcThreshold, 3, 7}}) {
    auto unit = stream_->units[1];
    PatchBits(unit, patch.pos, patch.bits, patch.value);
    EXPECT_EQ(Decode(d.get(), unit, kW, kH, out), MP4DEC_ERR_UNSUPPORTED_VOP) << patch.pos - at;
  }
  auto bVop = stream_->units[1];
  PatchBits(bVop, at, 2, 2);
  EXPECT_EQ(Decode(d.get(), bVop, kW, kH, out), MP4DEC_B_VOP_SKIPPED);
  ASSERT_EQ(Decode(d.get(), stream_->units[1], kW, kH, out), 0);
  EXPECT_EQ(testing_support::Md5Hex(out), (*reference_)[1]);
}

TEST_F(Mp4DecoderApi, CombFilterWorksOnTheOutputNotOnTheReference) {
  auto filtered = Create(kW, kH), plain = Create(kW, kH);
  std::vector<uint8_t> a(I420Size(kW, kH)), b(a.size());
  ASSERT_EQ(Decode(filtered.get(), stream_->units[0], kW, kH, a, OUTPUT_FORMAT_I420, 0, 1), 0);
  ASSERT_EQ(Decode(plain.get(), stream_->units[0], kW, kH, b), 0);
  Mp4CombFilter(b.data(), kW, kW, kH);
  EXPECT_EQ(a, b);
  ASSERT_EQ(Decode(filtered.get(), stream_->units[1], kW, kH, a), 0);
  EXPECT_EQ(testing_support::Md5Hex(a), (*reference_)[1]);
}

TEST(Mp4CombFilter, OddRowTeethTakeTheRowAbove) {
  // Rows: 10, 200, 12, 100, 14 (last row stays), width 2.
  std::vector<uint8_t> plane = {10, 10, 200, 60, 12, 12, 100, 100, 14, 14};
  Mp4CombFilter(plane.data(), 2, 2, 5);
  // (10-200)(12-200)/4 = 8930 > 73: a tooth.  (10-60)(12-60)/4 = 600, minus
  // 0 for the edge term: still a tooth.  Row 3: (12-100)(14-100)/4 = 1892.
  EXPECT_EQ(plane, (std::vector<uint8_t>{10, 10, 10, 10, 12, 12, 12, 12, 14, 14}));
  // A ramp is no tooth.
  std::vector<uint8_t> ramp = {10, 20, 30};
  Mp4CombFilter(ramp.data(), 1, 1, 3);
  EXPECT_EQ(ramp, (std::vector<uint8_t>{10, 20, 30}));
}

}  // namespace
