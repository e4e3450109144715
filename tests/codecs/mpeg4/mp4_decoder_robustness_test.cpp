// Hostile data: every fixture truncated, bit-flipped, replaced by garbage,
// and mutated at random, decoded one unit after another by the same
// decoder.  Each call must return a result code and touch nothing outside
// the data and the output; the sanitizer build checks the second half.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "codecs/pixels/output_formats.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ScratchDir;

bool KnownResult(int32_t rc) { return rc == 0 || rc == 1 || (rc >= 101 && rc <= 121); }

// Decodes units one after another; the data is copied into a buffer of its
// exact size so that any read past it is seen.
class Harness {
 public:
  Harness(int w, int h) : w_(w), h_(h), out_(I420Size(w, h)) { EXPECT_EQ(Mp4Dec_Create(&d_, w, h, 0, 0), 0); }
  ~Harness() { Mp4Dec_Destroy(d_, 0); }
  int32_t Decode(const std::vector<uint8_t>& unit, int32_t format = OUTPUT_FORMAT_I420) {
    std::vector<uint8_t> exact(unit);
    Mp4DecFrame f;
    f.width = uint32_t(w_);
    f.height = uint32_t(h_);
    f.data = exact.empty() ? nullptr : exact.data();
    f.length = exact.size();
    f.format = format;
    f.stride = w_;
    if (format == OUTPUT_FORMAT_I420) {
      f.output = out_.data();
    } else {
      rgb_.resize(size_t(w_) * size_t(h_) * 4);
      f.output = rgb_.data();
    }
    const int32_t rc = Mp4Dec_Decode(d_, &f, 0);
    EXPECT_TRUE(KnownResult(rc)) << rc;
    return rc;
  }

 private:
  int w_, h_;
  Mp4Decoder* d_ = nullptr;
  std::vector<uint8_t> out_, rgb_;
};

struct Fixture {
  const char* name;
  int width, height;
  const char* options;
};

const Fixture kFixtures[] = {
    {"Plain", 176, 144, "-c:v mpeg4 -q:v 3"},
    {"FourVectorsQuarterSample", 176, 144, "-c:v mpeg4 -q:v 3 -flags +mv4+qpel"},
    {"InterlacedMpegQuant", 176, 144, "-c:v mpeg4 -q:v 3 -flags +ildct+ilme -mpeg_quant 1"},
    {"OddSize", 90, 70, "-c:v mpeg4 -q:v 2 -flags +mv4"},
};

class Mp4DecoderRobustness : public testing::TestWithParam<Fixture> {
 protected:
  void SetUp() override {
    ORLENTA_REQUIRE_PROGRAM("ffmpeg");
    const Fixture& f = GetParam();
    dir_ = std::make_unique<ScratchDir>(std::string("mp4_robust_") + f.name);
    auto s = EncodeMp4TestStream(*dir_ / "s.m4v", f.width, f.height, 6, f.options, "rotate=0.1*t");
    ASSERT_TRUE(s);
    stream_ = std::move(*s);
  }
  std::unique_ptr<ScratchDir> dir_;
  Mp4TestStream stream_;
};

TEST_P(Mp4DecoderRobustness, TruncatedUnitsAtManyPoints) {
  Harness h(stream_.width, stream_.height);
  for (size_t u = 0; u < stream_.units.size(); ++u) {
    const auto& unit = stream_.units[u];
    const size_t step = std::max<size_t>(1, unit.size() / 97);
    for (size_t cut = 0; cut < unit.size(); cut += step)
      h.Decode(std::vector<uint8_t>(unit.begin(), unit.begin() + ptrdiff_t(cut)));
    EXPECT_EQ(h.Decode(unit), 0) << "the intact unit " << u << " after its cut copies";
  }
}

TEST_P(Mp4DecoderRobustness, FlippedBits) {
  Harness h(stream_.width, stream_.height);
  std::mt19937 random(7);
  for (const auto& unit : stream_.units) {
    for (int n = 0; n < 150; ++n) {
      auto copy = unit;
      const int flips = 1 + int(random() % 4);
      for (int k = 0; k < flips; ++k) copy[random() % copy.size()] ^= uint8_t(1 << (random() % 8));
      h.Decode(copy, n % 3 == 0 ? OUTPUT_FORMAT_RGB32_FLIP : OUTPUT_FORMAT_I420);
    }
  }
}

TEST_P(Mp4DecoderRobustness, GarbageAfterRealHeaders) {
  Harness h(stream_.width, stream_.height);
  std::mt19937 random(11);
  const auto& first = stream_.units[0];
  const size_t header = *VopFieldsPosition(first) / 8;  // the VOP start code's last byte + 1
  for (int n = 0; n < 300; ++n) {
    std::vector<uint8_t> unit(first.begin(), first.begin() + ptrdiff_t(header + size_t(n % 3)));
    const size_t garbage = random() % 4000;
    for (size_t i = 0; i < garbage; ++i) unit.push_back(uint8_t(random() % (n % 2 ? 256 : 4)));
    h.Decode(unit);
    std::vector<uint8_t> pure(garbage);
    for (auto& b : pure) b = uint8_t(random());
    h.Decode(pure);
  }
}

// Mutations of several kinds over many rounds, the decoder's state carried
// from one to the next, as a fuzzer would drive it.
TEST_P(Mp4DecoderRobustness, BoundedMutationLoop) {
  Harness h(stream_.width, stream_.height);
  std::mt19937 random(1234);
  for (int round = 0; round < 3000; ++round) {
    auto unit = stream_.units[random() % stream_.units.size()];
    switch (random() % 6) {
      case 0: unit[random() % unit.size()] = uint8_t(random()); break;
      case 1: unit.resize(random() % (unit.size() + 1)); break;
      case 2: {  // splice in a part of another unit
        const auto& other = stream_.units[random() % stream_.units.size()];
        const size_t from = random() % other.size(), at = random() % (unit.size() + 1);
        unit.insert(unit.begin() + ptrdiff_t(at), other.begin() + ptrdiff_t(from),
                    other.begin() + ptrdiff_t(std::min(other.size(), from + random() % 64)));
        break;
      }
      case 3:  // runs of zeros or ones: start codes, long VLC prefixes
        for (size_t i = random() % unit.size(), n = random() % 16; n-- && i < unit.size(); ++i)
          unit[i] = (round & 1) ? 0xFF : 0x00;
        break;
      case 4: unit.insert(unit.begin() + ptrdiff_t(random() % unit.size()), {0, 0, 1, uint8_t(random())}); break;
      default: break;  // intact: keeps a valid reference in play
    }
    h.Decode(unit);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Mp4DecoderRobustness, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& info) { return std::string(info.param.name); });

// Headers made by hand with extreme values.
TEST(Mp4DecoderHostileHeaders, ExtremeValuesGiveResultCodes) {
  Harness h(48, 32);
  // VOL of 48 x 32 with MPEG quantisation and a matrix of all 255.
  Mp4BitWriter vol;
  vol.Put(0x00000100, 32);
  vol.Put(0x00000120, 32);
  vol.Put(0, 1);
  vol.Put(1, 8);
  vol.Put(0, 1);
  vol.Put(1, 4);
  vol.Put(0, 1);
  vol.Put(0, 2);
  vol.Put(1, 1);
  vol.Put(1, 16);  // resolution 1: a 1-bit time increment
  vol.Put(1, 1);
  vol.Put(0, 1);
  vol.Put(1, 1);
  vol.Put(48, 13);
  vol.Put(1, 1);
  vol.Put(32, 13);
  vol.Put(1, 1);
  vol.Put(0, 1);  // progressive
  vol.Put(1, 1);
  vol.Put(0, 1);
  vol.Put(0, 1);
  vol.Put(1, 1);  // quant_type 1
  vol.Put(1, 1);
  for (int i = 0; i < 64; ++i) vol.Put(255, 8);
  vol.Put(0, 1);
  vol.Put(1, 1);
  vol.Put(1, 1);
  vol.Put(0, 1);
  vol.Put(0, 1);
  vol.Stuff();
  ASSERT_EQ(h.Decode(vol.bytes()), MP4DEC_ERR_NO_VOP);

  auto vop = [](uint32_t type, uint32_t quant, uint32_t fcode, auto body) {
    Mp4BitWriter w;
    w.Put(0x000001B6, 32);
    w.Put(type, 2);
    w.Put(0b0101, 4);  // modulo_time_base 0, marker, increment, marker
    w.Put(1, 1);       // coded
    if (type == 1) w.Put(0, 1);
    w.Put(0, 3);
    w.Put(quant, 5);
    if (type == 1) w.Put(fcode, 3);
    body(w);
    return w.bytes();
  };
  // An intra macroblock: MCBPC intra with all chroma coded, ac_pred 0,
  // CBPY all coded, then luma DC size 12 with its largest differential and
  // an escape-3 coefficient of level 2047 at run 62.
  auto extremeIntra = [](Mp4BitWriter& w) {
    for (int mb = 0; mb < 6; ++mb) {
      w.Put(0b011, 3);
      w.Put(0, 1);
      w.Put(0b11, 2);
      for (int b = 0; b < 6; ++b) {
        if (b < 4) w.Put(1, 11);  // luma dct_dc_size 12
        else w.Put(1, 12);        // chroma dct_dc_size 12
        w.Put(0xFFF, 12);
        w.Put(1, 1);
        w.Put(0b0000011, 7);  // escape
        w.Put(0b11, 2);       // mode 3
        w.Put(1, 1);          // last
        w.Put(62, 6);
        w.Put(1, 1);
        w.Put(2047, 12);
        w.Put(1, 1);
      }
    }
  };
  EXPECT_EQ(h.Decode(vop(0, 31, 0, extremeIntra)), 0);
  EXPECT_EQ(h.Decode(vop(0, 1, 0, extremeIntra)), 0);
  // Vectors at both ends of the widest range, every macroblock.
  for (uint32_t code : {0b0000000000101u, 0b0000000000100u}) {  // motion_code -32, +32
    auto farVectors = [code](Mp4BitWriter& w) {
      for (int mb = 0; mb < 6; ++mb) {
        w.Put(0, 1);         // coded
        w.Put(1, 1);         // MCBPC inter, no chroma
        w.Put(0b0011, 4);    // CBPY (inter: 15 - 0 = all luma coded)
        w.Put(code, 13);
        w.Put(0x3F, 6);      // residual
        w.Put(code, 13);
        w.Put(0x3F, 6);
        for (int b = 0; b < 4; ++b) w.Put(0b1110, 4);  // coefficient events, never last
      }
    };
    EXPECT_TRUE(KnownResult(h.Decode(vop(1, 5, 7, farVectors))));
  }
  EXPECT_EQ(h.Decode(vop(1, 0, 1, [](Mp4BitWriter&) {})), MP4DEC_ERR_UNSUPPORTED_VOP);
  EXPECT_EQ(h.Decode(vop(1, 4, 0, [](Mp4BitWriter&) {})), MP4DEC_ERR_UNSUPPORTED_VOP);
  // A position past 63 and an invalid MCBPC fail the VOP.
  EXPECT_EQ(h.Decode(vop(0, 4, 0, [](Mp4BitWriter& w) {
              w.Put(1, 1);
              w.Put(0, 1);
              w.Put(0b11, 2);
              w.Put(0b011, 3);  // DC size 0
              for (int i = 0; i < 70; ++i) w.Put(0b100, 3);  // run 0, level 1, not last
            })),
            MP4DEC_MACROBLOCK_ERROR);
  EXPECT_EQ(h.Decode(vop(0, 4, 0, [](Mp4BitWriter& w) { w.Put(0, 9); })), MP4DEC_MACROBLOCK_ERROR);
}

}  // namespace
