#include "tools/vyxmux/annexb_splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <utility>

#include "tests/support/test_support.h"
#include "tests/tools/ffmpeg_reference.h"
#include "tools/vyxmux/annexb_nal_units.h"

namespace {

using testing_support::Md5Hex;
using testing_support::ReadFile;

// Every unit against FFmpeg's packet of the same index: bytes and key flag.
// FFmpeg also calls a picture of non-IDR I slices a key frame, so unless
// the encoder is known to make none, only IDR => key is checked.
void ExpectMatchesFfmpeg(const std::vector<AccessUnit>& units, const std::filesystem::path& file,
                         bool keyMeansIdr) {
  const auto reference = ReferencePackets(file);
  ASSERT_TRUE(reference) << "ffmpeg/ffprobe failed on " << file;
  ASSERT_EQ(units.size(), reference->size());
  for (size_t i = 0; i < units.size(); ++i) {
    ASSERT_EQ(units[i].bytes.size(), (*reference)[i].size) << "unit " << i;
    ASSERT_EQ(Md5Hex(units[i].bytes), (*reference)[i].md5) << "unit " << i;
    if (keyMeansIdr || units[i].idr) {
      ASSERT_EQ(units[i].idr, (*reference)[i].key) << "unit " << i;
    }
  }
}

struct ConformanceStream {
  const char* file;
  size_t frames;  // the manifest's frame count
  int width;       // the manifest's size: the first picture's
  int height;
  // Pictures before the first IDR picture: FFmpeg neither decodes them nor
  // counts them in the manifest, but they are access units all the same.
  size_t leadingNonIdr = 0;
  bool sizeChanges = false;  // then FFmpeg's decoded frame sizes are the reference
};

// Width and height of every picture FFmpeg decodes.
std::vector<std::pair<int, int>> DecodedSizes(const std::filesystem::path& file) {
  std::vector<std::pair<int, int>> sizes;
  const auto output = testing_support::RunOutput("ffprobe -loglevel error -show_entries frame=width,height "
                                                 "-of csv=p=0 '" + file.string() + "'");
  if (!output) return sizes;
  std::istringstream lines(*output);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t comma = line.find(',');
    if (comma != std::string::npos) sizes.emplace_back(std::stoi(line.substr(0, comma)), std::stoi(line.substr(comma + 1)));
  }
  return sizes;
}

class ConformanceSplit : public testing::TestWithParam<ConformanceStream> {};
void PrintTo(const ConformanceStream& stream, std::ostream* out) { *out << stream.file; }

TEST_P(ConformanceSplit, UnitsAreFfmpegsPackets) {
  const ConformanceStream& stream = GetParam();
  ORLENTA_REQUIRE_TESTDATA(path, std::string("h264/") + stream.file);
  std::string error;
  const auto units = SplitAnnexB(ReadFile(path), &error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(units.size(), stream.frames + stream.leadingNonIdr);
  for (size_t i = 0; i < stream.leadingNonIdr; ++i) EXPECT_FALSE(units[i].idr) << "unit " << i;
  EXPECT_TRUE(units[stream.leadingNonIdr].idr);
  EXPECT_EQ(units[0].width, stream.width);
  EXPECT_EQ(units[0].height, stream.height);
  for (const AccessUnit& unit : units) {
    if (stream.sizeChanges) break;
    ASSERT_EQ(unit.width, stream.width);
    ASSERT_EQ(unit.height, stream.height);
  }
  if (!testing_support::HaveProgram("ffmpeg") || !testing_support::HaveProgram("ffprobe")) {
    ORLENTA_ABSENT("program absent: ffmpeg/ffprobe (counts and sizes were checked)");
  }
  ExpectMatchesFfmpeg(units, path, false);
  if (stream.sizeChanges) {
    const auto sizes = DecodedSizes(path);
    ASSERT_EQ(sizes.size(), units.size());
    for (size_t i = 0; i < units.size(); ++i) {
      EXPECT_EQ(std::make_pair(int{units[i].width}, int{units[i].height}), sizes[i]) << "unit " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    H264, ConformanceSplit,
    testing::Values(
        ConformanceStream{"BA1_FT_C.264", 299, 352, 288}, ConformanceStream{"BA1_Sony_D.jsv", 17, 176, 144},
        ConformanceStream{"BAMQ1_JVC_C.264", 30, 176, 144}, ConformanceStream{"BAMQ2_JVC_C.264", 30, 176, 144},
        ConformanceStream{"BANM_MW_D.264", 100, 176, 144}, ConformanceStream{"BASQP1_Sony_C.jsv", 4, 176, 144},
        ConformanceStream{"BA_MW_D.264", 100, 176, 144}, ConformanceStream{"CI1_FT_B.264", 291, 352, 288},
        ConformanceStream{"CI_MW_D.264", 100, 176, 144}, ConformanceStream{"CVFC1_Sony_C.jsv", 50, 300, 168},
        ConformanceStream{"CVPCMNL1_SVA_C.264", 30, 352, 288}, ConformanceStream{"LS_SVA_D.264", 1700, 176, 144},
        ConformanceStream{"MIDR_MW_D.264", 100, 176, 144}, ConformanceStream{"MPS_MW_A.264", 150, 176, 144},
        ConformanceStream{"MR1_BT_A.h264", 62, 176, 144}, ConformanceStream{"MR1_MW_A.264", 150, 176, 144},
        ConformanceStream{"MR2_MW_A.264", 300, 176, 144}, ConformanceStream{"MR2_TANDBERG_E.264", 300, 176, 144},
        ConformanceStream{"NL1_Sony_D.jsv", 17, 176, 144}, ConformanceStream{"NLMQ1_JVC_C.264", 30, 176, 144},
        ConformanceStream{"NLMQ2_JVC_C.264", 30, 176, 144}, ConformanceStream{"NRF_MW_E.264", 100, 176, 144},
        ConformanceStream{"SVA_BA1_B.264", 17, 176, 144}, ConformanceStream{"SVA_BA2_D.264", 17, 176, 144},
        ConformanceStream{"SVA_Base_B.264", 17, 176, 144}, ConformanceStream{"SVA_CL1_E.264", 50, 176, 144},
        ConformanceStream{"SVA_FM1_E.264", 17, 176, 144}, ConformanceStream{"SVA_NL1_B.264", 17, 176, 144},
        ConformanceStream{"SVA_NL2_E.264", 17, 176, 144},
        ConformanceStream{"BA_MW_D_IDR_LOST.264", 70, 176, 144, 27},
        ConformanceStream{"BA_MW_D_P_LOST.264", 99, 176, 144}, ConformanceStream{"Error_I_P.264", 6, 352, 288, 0, true},
        ConformanceStream{"QCIF_2P_I_allIPCM.264", 2, 176, 144}),
    [](const testing::TestParamInfo<ConformanceStream>& info) {
      std::string name = info.param.file;
      std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

struct EncodedStream {
  const char* name;
  const char* size;  // WxH given to the encoder
  int frames;
  const char* encoderArgs;
  int width;  // what the SPS must say after cropping
  int height;
};

class EncodedSplit : public testing::TestWithParam<EncodedStream> {};
void PrintTo(const EncodedStream& stream, std::ostream* out) { *out << stream.encoderArgs; }

TEST_P(EncodedSplit, UnitsAreFfmpegsPacketsAndSizeIsCropped) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  ORLENTA_REQUIRE_PROGRAM("ffprobe");
  const EncodedStream& stream = GetParam();
  testing_support::ScratchDir dir("annexb");
  const auto file = dir / "stream.264";
  ASSERT_TRUE(RunFfmpeg(std::string("-f lavfi -i testsrc2=size=") + stream.size + ":rate=25 -frames:v " +
                        std::to_string(stream.frames) + " -c:v libx264 " + stream.encoderArgs + " '" +
                        file.string() + "'"));
  std::string error;
  const auto units = SplitAnnexB(ReadFile(file), &error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(units.size(), static_cast<size_t>(stream.frames));
  for (const AccessUnit& unit : units) {
    ASSERT_EQ(unit.width, stream.width);
    ASSERT_EQ(unit.height, stream.height);
  }
  ExpectMatchesFfmpeg(units, file, true);
  EXPECT_GT(std::count_if(units.begin(), units.end(), [](const AccessUnit& u) { return u.idr; }), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Libx264, EncodedSplit,
    testing::Values(
        EncodedStream{"Baseline", "352x288", 30, "-profile:v baseline -g 10", 352, 288},
        EncodedStream{"MainCabacBFrames", "352x288", 30, "-profile:v main -g 12 -bf 3", 352, 288},
        EncodedStream{"FourSlices", "352x288", 20, "-g 8 -x264-params slices=4", 352, 288},
        EncodedStream{"AccessUnitDelimiters", "352x288", 20, "-g 8 -bf 2 -x264-params aud=1", 352, 288},
        EncodedStream{"OddSizeCropped", "318x242", 20, "-g 8", 318, 242},
        EncodedStream{"FullHd", "1920x1080", 8, "-preset ultrafast -g 4", 1920, 1080},
        EncodedStream{"Mbaff", "352x288", 20, "-g 8 -bf 2 -flags +ildct -x264-params interlaced=1", 352, 288},
        EncodedStream{"ScalingMatrices", "320x240", 20, "-profile:v high -g 8 -x264-params cqm=jvt", 320, 240},
        EncodedStream{"Chroma444OddSize", "320x240", 20, "-vf scale=317:241,format=yuv444p -g 8", 317, 241},
        EncodedStream{"Chroma422", "318x240", 20, "-pix_fmt yuv422p -g 8 -x264-params slices=2", 318, 240}),
    [](const testing::TestParamInfo<EncodedStream>& info) { return std::string(info.param.name); });

// Slices of one picture may come in any order: reversing them inside every
// picture must give the same units, not one per slice.
TEST(AnnexBSplit, SliceOrderInsidePictureDoesNotMatter) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("annexb-aso");
  const auto file = dir / "slices.264";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=352x288:rate=25 -frames:v 12 -c:v libx264 -g 6 -bf 2 "
                        "-x264-params slices=4 '" + file.string() + "'"));
  const std::vector<uint8_t> stream = ReadFile(file);
  const auto units = SplitAnnexB(stream);
  ASSERT_EQ(units.size(), 12u);

  std::vector<uint8_t> reordered;
  for (const AccessUnit& unit : units) {
    std::vector<std::vector<uint8_t>> leading, slices;
    const auto nals = FindAnnexBNalUnits(unit.bytes.data(), unit.bytes.size());
    for (size_t i = 0; i < nals.size(); ++i) {
      const size_t end = i + 1 < nals.size() ? nals[i + 1].startCodeOffset : unit.bytes.size();
      const uint8_t type = unit.bytes[nals[i].nalOffset] & 0x1f;
      std::vector<uint8_t> nal(unit.bytes.begin() + static_cast<std::ptrdiff_t>(nals[i].startCodeOffset),
                               unit.bytes.begin() + static_cast<std::ptrdiff_t>(end));
      (type == 1 || type == 5 ? slices : leading).push_back(std::move(nal));
    }
    ASSERT_EQ(slices.size(), 4u);
    std::reverse(slices.begin(), slices.end());
    for (const auto& nal : leading) reordered.insert(reordered.end(), nal.begin(), nal.end());
    for (const auto& nal : slices) reordered.insert(reordered.end(), nal.begin(), nal.end());
  }
  const auto split = SplitAnnexB(reordered);
  ASSERT_EQ(split.size(), units.size());
  for (size_t i = 0; i < units.size(); ++i) EXPECT_EQ(split[i].idr, units[i].idr) << "unit " << i;
}

// A new sequence parameter set with the same id, as after a camera's
// resolution change, gives the following units its size.
TEST(AnnexBSplit, SizeFollowsReplacedSequenceParameterSet) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("annexb-resize");
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 5 -c:v libx264 '" +
                        (dir / "a.264").string() + "'"));
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 4 -c:v libx264 '" +
                        (dir / "b.264").string() + "'"));
  std::vector<uint8_t> stream = ReadFile(dir / "a.264");
  const std::vector<uint8_t> second = ReadFile(dir / "b.264");
  stream.insert(stream.end(), second.begin(), second.end());
  const auto units = SplitAnnexB(stream);
  ASSERT_EQ(units.size(), 9u);
  EXPECT_EQ(units[4].width, 176);
  EXPECT_EQ(units[5].width, 640);
  EXPECT_EQ(units[5].height, 360);
  EXPECT_TRUE(units[5].idr);
}

TEST(AnnexBSplit, NoSliceIsAnError) {
  std::string error;
  EXPECT_TRUE(SplitAnnexB({}, &error).empty());
  EXPECT_NE(error, "");
  // A parameter set alone is not a picture.
  EXPECT_TRUE(SplitAnnexB({0, 0, 0, 1, 0x67, 0x42, 0xc0, 0x0d, 0x8c, 0x8d, 0x40}, &error).empty());
  EXPECT_NE(error.find("no access unit"), std::string::npos);
}

TEST(AnnexBSplit, SliceWithoutParameterSetsIsAnError) {
  std::string error;
  // An IDR slice that refers to picture parameter set 0, never sent.
  const auto units = SplitAnnexB({0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00, 0x10}, &error);
  EXPECT_EQ(units.size(), 1u);
  EXPECT_NE(error.find("picture parameter set 0"), std::string::npos) << error;
}

// Cutting a stream anywhere keeps every unit before the cut unchanged and
// never adds units; a cut through a slice header is reported.  Random bytes
// and corrupted streams must come back without a fault (the ASan build
// checks every read).
TEST(AnnexBSplit, CutGarbledAndRandomInputIsSafe) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("annexb-cut");
  const auto path = dir / "slices.264";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 8 -c:v libx264 -g 4 "
                        "-x264-params slices=3 -bsf:v filter_units=remove_types=6 '" + path.string() + "'"));
  const std::vector<uint8_t> stream = ReadFile(path);
  const auto full = SplitAnnexB(stream);
  std::mt19937 random(20240601);
  bool cutHeaderReported = false;
  for (int trial = 0; trial < 150; ++trial) {
    const size_t cut = trial < 50 ? full[1].offset + static_cast<size_t>(trial)  // around the 2nd unit
                                  : random() % stream.size();
    std::string error;
    const auto units = SplitAnnexB({stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)}, &error);
    ASSERT_LE(units.size(), full.size());
    if (units.empty()) {  // only a cut ahead of the first slice leaves nothing, and says so
      ASSERT_LT(cut, full[0].bytes.size());
      ASSERT_NE(error.find("no access unit"), std::string::npos) << error;
      continue;
    }
    size_t bytes = 0;
    for (size_t i = 0; i < units.size(); ++i) {
      if (i + 1 < units.size()) {
        ASSERT_EQ(units[i].bytes, full[i].bytes) << "cut " << cut << " unit " << i;
      }
      bytes += units[i].bytes.size();
    }
    ASSERT_EQ(bytes, cut);
    if (!error.empty()) cutHeaderReported = true;
  }
  EXPECT_TRUE(cutHeaderReported);

  for (int trial = 0; trial < 100; ++trial) {
    std::vector<uint8_t> garbled = stream;
    for (int flips = 0; flips < 20; ++flips) garbled[random() % garbled.size()] ^= static_cast<uint8_t>(1 << (random() % 8));
    std::vector<uint8_t> noise(4096);
    for (auto& byte : noise) {  // dense in start codes
      const auto pick = random() % 4;
      byte = static_cast<uint8_t>(pick == 0 ? 0 : pick == 1 ? 1 : random());
    }
    for (const auto* input : {&garbled, &noise}) {
      std::string error;
      size_t bytes = 0;
      for (const AccessUnit& unit : SplitAnnexB(*input, &error)) bytes += unit.bytes.size();
      ASSERT_TRUE(bytes == input->size() || (bytes == 0 && !error.empty()));
    }
  }
}

}  // namespace
