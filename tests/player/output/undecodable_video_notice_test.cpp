// The player tells the user once per archive when the first three key
// records of its video all come to a refusal or an error: first the rule on
// its own, then through the video output with streams made here.
#include "player/output/undecodable_video_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory_display.h"
#include "platform/message_box.h"
#include "player/output/video_output.h"
#include "tests/codecs/mpeg4/mp4_test_streams.h"
#include "tests/support/test_support.h"
#include "tests/support/vyx_frames.h"

namespace {

using Verdict = DecodeOutcome::Verdict;

VYX_FRAME_HEADER Header(uint8_t type) {
  VYX_FRAME_HEADER header{};
  header.type = type;
  return header;
}

DecodeOutcome Outcome(Verdict verdict) {
  return {verdict, 119, DecodeOutcome::CodeStyle::kDecimal, "video packets (resync markers)"};
}

struct Record {
  uint8_t type;
  Verdict verdict;
};

TEST(UndecodableVideoNotice, ToldOnceWhenTheFirstThreeKeyRecordsFail) {
  constexpr uint8_t I = FRAME_TYPE_MPEG4_I, P = FRAME_TYPE_MPEG4_P;
  struct Case {
    const char* name;
    std::vector<Record> records;
    size_t messages;
  };
  const Case cases[] = {
      {"three refused", {{I, Verdict::kRefused}, {I, Verdict::kRefused}, {I, Verdict::kRefused}}, 1},
      {"predicted records between them do not count",
       {{I, Verdict::kError}, {P, Verdict::kWithheld}, {P, Verdict::kPicture}, {I, Verdict::kRefused},
        {P, Verdict::kError}, {I, Verdict::kError}},
       1},
      {"and more after them tell nothing more", std::vector<Record>(9, {I, Verdict::kRefused}), 1},
      {"two", {{I, Verdict::kRefused}, {I, Verdict::kRefused}}, 0},
      {"a picture among them", {{I, Verdict::kRefused}, {I, Verdict::kPicture}, {I, Verdict::kRefused},
                                {I, Verdict::kRefused}, {I, Verdict::kRefused}}, 0},
      {"one held back", {{I, Verdict::kPending}, {I, Verdict::kRefused}, {I, Verdict::kRefused},
                         {I, Verdict::kRefused}}, 0},
      {"one withheld", {{I, Verdict::kWithheld}, {I, Verdict::kError}, {I, Verdict::kError},
                        {I, Verdict::kError}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
    platform::ScopedMessageBoxBackend installed(boxes);
    UndecodableVideoNotice notice;
    notice.StartArchive();
    for (const Record& r : c.records) notice.Observe(Header(r.type), Outcome(r.verdict));
    EXPECT_EQ(boxes->Texts().size(), c.messages);
  }
}

TEST(UndecodableVideoNotice, EachArchiveOpenedIsJudgedAgain) {
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend installed(boxes);
  UndecodableVideoNotice notice;
  for (int archive = 0; archive < 2; ++archive) {
    notice.StartArchive();
    for (int i = 0; i < 4; ++i) notice.Observe(Header(FRAME_TYPE_JPEG), Outcome(Verdict::kRefused));
  }
  ASSERT_EQ(boxes->Texts().size(), 2u);
  EXPECT_EQ(boxes->Texts()[0],
            "The JPEG video of this archive cannot be shown.\n"
            "The decoder refused its key frames: video packets (resync markers) (code 119).");
}

// The whole road: payloads through the video output, whose outcomes the
// notice judges as the video box wires them.
class UndecodableVideoThroughOutput : public testing::Test {
 protected:
  UndecodableVideoThroughOutput()
      : display_(std::make_shared<platform::MemoryDisplayBackend>()),
        boxes_(std::make_shared<platform::RecordingMessageBoxes>()),
        installed_(boxes_),
        output_(window_) {
    output_.SetOutputFormat(32, 0);
    output_.SetOutcomeObserver(
        [this](const VYX_FRAME_HEADER& header, const DecodeOutcome& outcome) { notice_.Observe(header, outcome); });
    notice_.StartArchive();
  }

  void Show(const std::vector<uint8_t>& payload, uint8_t type, int width, int height) {
    output_.ShowVideoFrame(testing_support::MakeVyxFrame(type, payload, width, height));
  }

  void ShowMpeg4(const Mp4TestStream& stream) {
    for (size_t i = 0; i < stream.units.size(); ++i) {
      const bool intra = i % 12 == 0;  // FFmpeg's default GOP
      Show(stream.units[i], intra ? FRAME_TYPE_MPEG4_I : FRAME_TYPE_MPEG4_P, stream.width, stream.height);
    }
  }

  platform::ScopedDisplayBackend display_;
  std::shared_ptr<platform::RecordingMessageBoxes> boxes_;
  platform::ScopedMessageBoxBackend installed_;
  platform::MemoryVideoWindow window_;
  UndecodableVideoNotice notice_;
  VideoOutput output_;
};

TEST_F(UndecodableVideoThroughOutput, Mpeg4InVideoPacketsIsToldOnceAndPlainMpeg4NotAtAll) {
  ORLENTA_REQUIRE_PROGRAM("ffmpeg");
  testing_support::ScratchDir dir("undecodable_mpeg4");
  const auto packets = EncodeMp4TestStream(dir / "packets.m4v", 176, 144, 40, "-c:v mpeg4 -q:v 4 -threads 4",
                                           "scroll=h=0.02");
  const auto plain = EncodeMp4TestStream(dir / "plain.m4v", 176, 144, 40, "-c:v mpeg4 -q:v 4", "scroll=h=0.02");
  ASSERT_TRUE(packets && plain);
  ShowMpeg4(*plain);
  EXPECT_TRUE(boxes_->Texts().empty());
  notice_.StartArchive();
  output_.Reset();
  ShowMpeg4(*packets);
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_EQ(boxes_->Texts()[0],
            "The MPEG-4 Part 2 video of this archive cannot be shown.\n"
            "The decoder refused its key frames: video packets (resync markers) (code 119).");
}

// Motion-JPEG style pictures leave out the Huffman tables.
TEST_F(UndecodableVideoThroughOutput, JpegWithoutHuffmanTablesIsToldWithTheDecodersCode) {
  ORLENTA_REQUIRE_PROGRAM("cjpeg");
  testing_support::ScratchDir dir("undecodable_jpeg");
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=64x48 -frames:v 1 '" +
                                 (dir / "p.ppm").string() + "' && cjpeg -outfile '" + (dir / "p.jpg").string() +
                                 "' '" + (dir / "p.ppm").string() + "'"),
            0);
  const std::vector<uint8_t> jpeg = testing_support::ReadFile(dir / "p.jpg");
  // Every DHT segment cut out.
  std::vector<uint8_t> stripped(jpeg.begin(), jpeg.begin() + 2);
  for (size_t at = 2; at + 4 <= jpeg.size();) {
    const size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
    const bool scan = jpeg[at + 1] == 0xDA;
    if (jpeg[at + 1] != 0xC4) stripped.insert(stripped.end(), jpeg.begin() + ptrdiff_t(at), scan ? jpeg.end() : jpeg.begin() + ptrdiff_t(at + 2 + length));
    if (scan) break;
    at += 2 + length;
  }
  ASSERT_LT(stripped.size(), jpeg.size());
  for (int i = 0; i < 3; ++i) Show(stripped, FRAME_TYPE_JPEG, 64, 48);
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_EQ(boxes_->Texts()[0],
            "The JPEG video of this archive cannot be shown.\n"
            "The decoder refused its key frames: no Huffman tables (motion-JPEG style) (code -223).");
}

}  // namespace
