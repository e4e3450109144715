// Playback as a user meets it, in the program itself on a private X server:
// archives made at test time with vyxmux, played from the command line with
// the null sound output recording what it plays.  A recording gap must not
// freeze the picture, and sound without picture must be heard whole.
#include <gtest/gtest.h>

#include <signal.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>

#include "tests/app/x11_session.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;
using testing_support::kPatience;

const std::string kTitle = "Orlenta 2\\.0\\.1\\.30";

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

std::string Vyxmux() { return Quoted(testing_support::BuiltTool("tools/vyxmux/vyxmux")); }

bool Ffmpeg(const std::string& arguments) {
  return testing_support::Run("ffmpeg -nostdin -loglevel error -y " + arguments) == 0;
}

// `seconds` of H.264 of one colour, 25 frames a second.
bool ColourStream(const std::filesystem::path& out, const std::string& colour, int seconds) {
  return Ffmpeg("-f lavfi -i color=c=" + colour + ":size=352x288:rate=25 -t " + std::to_string(seconds) +
                " -c:v libx264 -preset veryfast -g 25 -bf 0 -pix_fmt yuv420p -f h264 " + Quoted(out));
}

// `seconds` of a beeping tone as IMA ADPCM blocks of 256 bytes (505
// samples), coded by ffmpeg; in `blocks` the raw blocks, in `pcm` sox's
// decode of them (which the player's decoder matches sample for sample).
bool AdpcmTone(const testing_support::ScratchDir& dir, int seconds, std::filesystem::path& blocks,
               std::vector<uint8_t>& pcm) {
  const auto wav = dir / "tone.wav";
  blocks = dir / "tone.ima";
  const auto decoded = dir / "tone.pcm";
  if (!Ffmpeg("-f lavfi -i sine=frequency=440:beep_factor=2:sample_rate=8000 -t " + std::to_string(seconds) +
              " -ac 1 -c:a adpcm_ima_wav -block_size 256 " + Quoted(wav)))
    return false;
  if (!Ffmpeg("-i " + Quoted(wav) + " -map 0:a -c copy -f data " + Quoted(blocks))) return false;
  if (testing_support::Run("sox " + Quoted(wav) + " -t s16 " + Quoted(decoded)) != 0) return false;
  pcm = testing_support::ReadFile(decoded);
  return !pcm.empty();
}

// How much of the reference the recording holds in one piece, from where
// the reference's start is found in it.
size_t WholePrefix(const std::vector<uint8_t>& played, const std::vector<uint8_t>& reference) {
  constexpr size_t kKey = 64;
  if (reference.size() < kKey) return 0;
  const auto at = std::search(played.begin(), played.end(), reference.begin(), reference.begin() + kKey);
  if (at == played.end()) return 0;
  const size_t available = std::min<size_t>(played.end() - at, reference.size());
  return static_cast<size_t>(std::mismatch(reference.begin(), reference.begin() + available, at).first -
                             reference.begin());
}

class PlaybackInX : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto missing = x11_test::MissingPrograms();
    if (!missing.empty()) {
      std::string names;
      for (const auto& name : missing) names += " " + name;
      ORLENTA_ABSENT("programs absent:" << names);
    }
  }

  void TearDown() override {
    if (!HasFailure()) return;
    std::ifstream log(dir / "orlenta.log");
    for (std::string line; std::getline(log, line);) std::cerr << "orlenta: " << line << "\n";
  }

  // The player on a private X server, playing the archive.
  void Start(const std::string& archive) {
    server = std::make_unique<x11_test::XServer>(1024, 768, dir / "xvfb.log");
    ASSERT_TRUE(server->Ok());
    const auto runtime = dir / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ASSERT_TRUE(orlenta.Start({testing_support::BuiltTool("app/orlenta").string(), archive},
                              {{"DISPLAY", server->Display()},
                               {"QT_QPA_PLATFORM", "xcb"},
                               {"XDG_RUNTIME_DIR", runtime.string()},
                               {"ORLENTA_SOUND", "null"},
                               {"ORLENTA_SOUND_RECORD", recording.string()}},
                              dir / "orlenta.log"));
    const auto found = server->FindWindow(kTitle, kPatience);
    ASSERT_TRUE(found) << "no main window";
    id = *found;
  }

  // The mean colour in the middle of the window, where the picture is.
  QColor Middle() {
    const auto window = server->WindowGeometry(id);
    const QImage screen = server->Capture(dir.path());
    if (!window || screen.isNull()) return {};
    const QPoint centre = window->topLeft() + QPoint(window->width() / 2, (37 + window->height() - 76) / 2);
    long r = 0, g = 0, b = 0, n = 0;
    for (int y = -10; y <= 10; ++y)
      for (int x = -10; x <= 10; ++x) {
        const QRgb p = screen.pixel(centre + QPoint(x, y));
        r += qRed(p), g += qGreen(p), b += qBlue(p), ++n;
      }
    return QColor(int(r / n), int(g / n), int(b / n));
  }

  // Waits until the output has recorded something and then stopped
  // recording: the end of the archive stopped playback.
  std::vector<uint8_t> RecordingOnceStopped() {
    std::vector<uint8_t> played;
    size_t last = 0;
    auto still = std::chrono::steady_clock::now();
    x11_test::WaitUntil(
        [&] {
          played = testing_support::ReadFile(recording);
          if (played.size() != last) {
            last = played.size();
            still = std::chrono::steady_clock::now();
          }
          return !played.empty() && std::chrono::steady_clock::now() - still > 1500ms;
        },
        kPatience);
    return played;
  }

  testing_support::ScratchDir dir{"orlenta_x11_playback"};
  std::filesystem::path recording = dir / "sound.pcm";
  std::unique_ptr<x11_test::XServer> server;
  x11_test::Process orlenta;
  std::string id;
};

// Two seconds of red pictures, forty unrecorded, ten of blue: the blue
// comes at most three seconds after the red ends, not forty.
TEST_F(PlaybackInX, ARecordingGapDoesNotFreezeThePicture) {
  ASSERT_TRUE(ColourStream(dir / "red.264", "red", 2));
  ASSERT_TRUE(ColourStream(dir / "blue.264", "blue", 10));
  ASSERT_EQ(testing_support::Run("cat " + Quoted(dir / "red.264") + " " + Quoted(dir / "blue.264") + " > " +
                                 Quoted(dir / "both.264")),
            0);
  std::string times;
  for (int i = 0; i < 300; ++i) {
    const int ms = i < 50 ? i * 40 : 42000 + (i - 50) * 40;
    times += (times.empty() ? "" : ",") + std::to_string(ms / 1000) + "." + std::to_string(1000 + ms % 1000).substr(1);
  }
  const std::string archive = dir / "gap.vyx";
  ASSERT_EQ(testing_support::Run(Vyxmux() + " -o " + Quoted(archive) + " --h264 " + Quoted(dir / "both.264") +
                                 " --times " + times + " >/dev/null"),
            0);

  ASSERT_NO_FATAL_FAILURE(Start(archive));
  QColor seen;
  ASSERT_TRUE(x11_test::WaitUntil([&] { return (seen = Middle()).red() > 200 && seen.blue() < 60; }, kPatience))
      << "no red picture; " << seen.name().toStdString();
  const auto red = std::chrono::steady_clock::now();
  const bool blue =
      x11_test::WaitUntil([&] { return (seen = Middle()).blue() > 200 && seen.red() < 60; }, 10s);
  const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - red);
  EXPECT_TRUE(blue) << "still " << seen.name().toStdString() << " after " << after.count() << " ms";
  EXPECT_LT(after, 5s) << "the blue came " << after.count() << " ms after the red";
  EXPECT_EQ(orlenta.Stop(SIGTERM, kPatience), std::optional<int>(0));
}

// Sound without picture plays whole: an archive of sound alone, and one
// whose sound outlasts its two seconds of picture; between the first
// sound and the last nothing is lost and no silence cuts in.
TEST_F(PlaybackInX, SoundWithoutPictureIsHeardWhole) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  std::filesystem::path blocks;
  std::vector<uint8_t> reference;
  ASSERT_TRUE(AdpcmTone(dir, 6, blocks, reference));
  ASSERT_TRUE(ColourStream(dir / "picture.264", "gray", 2));
  const std::string audio = " --audio 145:" + blocks.string() + ":512:2048000/505";
  struct Case {
    const char* name;
    std::string video;
  };
  for (const Case& c : {Case{"sound only", ""}, Case{"sound outlasting the picture", " --h264 " +
                                                                                     Quoted(dir / "picture.264")}}) {
    SCOPED_TRACE(c.name);
    const std::string archive = dir / "sound.vyx";
    ASSERT_EQ(testing_support::Run(Vyxmux() + " -o " + Quoted(archive) + c.video + audio + " >/dev/null"), 0);
    ASSERT_NO_FATAL_FAILURE(Start(archive));
    const std::vector<uint8_t> played = RecordingOnceStopped();
    const size_t whole = WholePrefix(played, reference);
    EXPECT_GE(whole, reference.size() * 95 / 100)
        << whole << " of " << reference.size() << " bytes in one piece; " << played.size() << " recorded";
    EXPECT_EQ(orlenta.Stop(SIGTERM, kPatience), std::optional<int>(0));
    server.reset();
  }
}

}  // namespace
