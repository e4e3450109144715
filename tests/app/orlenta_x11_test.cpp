// The program in a real X window: orlenta started on a private X server with
// a sample archive on its command line, watched through screen captures and
// driven with xdotool as a user would.
#include <gtest/gtest.h>

#include <signal.h>

#include <QImage>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "app/orlenta_dlg.h"
#include "app/resource.h"
#include "app/resources.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/picture_grid.h"
#include "tests/app/x11_session.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;
using testing_support::kPatience;

constexpr int kPictureWidth = 704, kPictureHeight = 576;  // the sample's
constexpr int kCellsX = 44, kCellsY = 36;                   // the grid pictures are compared on
const std::string kTitle = "Orlenta 2\\.0\\.1\\.30";
// Mean differences per channel on the grid: the picture shown and ffmpeg's
// decode of the same frame differ by about 1.3, neighbouring frames by 3,
// a flat grey screen by over 100; the text in its corner adds about 12.
constexpr double kSamePicture = 2.5;
constexpr double kTextShown = 6;

// A picture averaged down to the grid: RGB per cell.
using Cells = x11_test::GridCells;

Cells Average(const QImage& image, const QRect& area) {
  return x11_test::AverageCells(image, area, kCellsX, kCellsY);
}

// Mean absolute difference per channel over the cells that `inside` picks.
double Difference(const Cells& a, const Cells& b, const std::function<bool(int, int)>& inside) {
  double sum = 0;
  int n = 0;
  for (int cy = 0; cy < kCellsY; ++cy) {
    for (int cx = 0; cx < kCellsX; ++cx) {
      if (!inside(cx, cy)) continue;
      for (int c = 0; c < 3; ++c) sum += std::abs(a[cy * kCellsX + cx][c] - b[cy * kCellsX + cx][c]);
      n += 3;
    }
  }
  return n ? sum / n : 0;
}

// The corner where "Left-Top" puts the media information text.
bool InTextCorner(int cx, int cy) { return cx < kCellsX * 2 / 5 && cy < kCellsY / 6; }
bool Everywhere(int, int) { return true; }
bool OutsideTextCorner(int cx, int cy) { return !InTextCorner(cx, cy); }

// Every picture of a video stream as ffmpeg decodes it (`inputOptions`
// before its -i), on the grid.
std::vector<Cells> ReferencePictures(const testing_support::ScratchDir& dir, const std::filesystem::path& stream,
                                     const std::string& inputOptions = "") {
  const auto raw = dir / "reference.rgb";
  const std::string command = "ffmpeg -nostdin -loglevel error -y " + inputOptions + " -i '" + stream.string() +
                              "' -vf format=rgb24,scale=" + std::to_string(kCellsX) + ":" + std::to_string(kCellsY) +
                              ":flags=area -f rawvideo -pix_fmt rgb24 '" + raw.string() + "'";
  std::vector<Cells> pictures;
  if (testing_support::Run(command) != 0) return pictures;
  const std::vector<uint8_t> bytes = testing_support::ReadFile(raw);
  const size_t size = size_t{kCellsX} * kCellsY * 3;
  for (size_t offset = 0; offset + size <= bytes.size(); offset += size) {
    Cells cells(kCellsX * kCellsY);
    for (size_t i = 0; i < cells.size(); ++i)
      cells[i] = {double(bytes[offset + 3 * i]), double(bytes[offset + 3 * i + 1]), double(bytes[offset + 3 * i + 2])};
    pictures.push_back(std::move(cells));
  }
  return pictures;
}

struct Match {
  size_t picture = 0;
  double difference = 1e9;
};

Match BestMatch(const Cells& shown, const std::vector<Cells>& pictures, const std::function<bool(int, int)>& inside) {
  Match best;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const double d = Difference(shown, pictures[i], inside);
    if (d < best.difference) best = {i, d};
  }
  return best;
}

// Where a skinned button is and what it looks like enabled and disabled.
struct ButtonLook {
  const char* name;
  int bitmap;
  int width, height;
  int left, top;  // of its rectangle in the window, for a window W wide and H high
};

std::vector<ButtonLook> Buttons(int W, int H) {
  const int w2 = W / 2;
  // In the order of the enabling strings: Open, Play, Stop, Pause, Step
  // back, Step forward, Snapshot, Convert AVI.
  return {{"Open", artwork::kOpenButton, 100, 33, w2 - 50, 2},
          {"Play", artwork::kPlayButton, 53, 54, w2 - 27, H - 58},
          {"Stop", artwork::kStopButton, 47, 54, w2 - 122, H - 58},
          {"Pause", artwork::kPauseButton, 45, 54, w2 + 28, H - 58},
          {"Step Backward", artwork::kStepBackButton, 43, 54, w2 - 73, H - 58},
          {"Step Forward", artwork::kStepForwardButton, 41, 54, w2 + 75, H - 58},
          {"Snapshot", artwork::kSnapshotButton, 100, 33, w2 - 155, 2},
          {"Convert AVI", artwork::kConvertAviButton, 100, 33, w2 + 55, 2}};
}

// '+' when the button on the screen shows its normal picture, '-' its
// disabled one, '?' neither.
char ButtonState(const QImage& screen, QPoint window, const ButtonLook& button) {
  const QImage strip = QImage(ResourcePath("BITMAP", button.bitmap)).convertToFormat(QImage::Format_RGB32);
  auto differenceTo = [&](int frame) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < button.height; ++y) {
      for (int x = 0; x < button.width; ++x) {
        if (qGray(strip.pixel(x, 4 * button.height + y)) > 127) continue;  // outside the mask
        const QRgb want = strip.pixel(x, frame * button.height + y);
        const QRgb got = screen.pixel(window.x() + button.left + x, window.y() + button.top + y);
        sum += std::abs(qRed(want) - qRed(got)) + std::abs(qGreen(want) - qGreen(got)) +
               std::abs(qBlue(want) - qBlue(got));
        n += 3;
      }
    }
    return n ? sum / n : 1e9;
  };
  const double normal = differenceTo(0), disabled = differenceTo(3);
  if (std::min(normal, disabled) > 12) return '?';
  return normal < disabled ? '+' : '-';
}

QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// The controls of the normal interface in a window W x H (outer size; the
// test's X server has no window manager, hence no frame): the buttons, the
// time text, the slider and the video area.
std::vector<std::pair<std::string, QRect>> Controls(int W, int H) {
  std::vector<std::pair<std::string, QRect>> controls;
  for (const ButtonLook& button : Buttons(W, H))
    controls.push_back({button.name, QRect(button.left, button.top, button.width, button.height)});
  controls.push_back({"time text", Edges(10, H - 45, 115, H - 21)});
  controls.push_back({"slider", Edges(11, H - 76, W - 11, H - 66)});
  controls.push_back({"video area", Edges(10, 37, W - 10, H - 76)});
  return controls;
}

// Whole PCM nodes of three voice units, and the silent buffers the output
// plays while the queue is dry.
constexpr size_t kNodeBytes = 1920;
constexpr size_t kSilenceBytes = 192;

// How much of the reference the recording holds: it must be the reference
// from its start in whole nodes, in order, with silence only between them
// (the last node, played out at the end of the archive, may hold less);
// nullopt when it holds anything else.
std::optional<size_t> PlayedPrefix(const std::vector<uint8_t>& played, const std::vector<uint8_t>& reference) {
  size_t at = 0, matched = 0;
  while (at < played.size()) {
    const size_t node = std::min(kNodeBytes, reference.size() - matched);
    if (node > 0 && played.size() - at >= node &&
        std::equal(reference.begin() + matched, reference.begin() + matched + node, played.begin() + at)) {
      at += node;
      matched += node;
      continue;
    }
    const size_t silence = std::min(kSilenceBytes, played.size() - at);
    if (!std::all_of(played.begin() + at, played.begin() + at + silence, [](uint8_t b) { return b == 0; }))
      return std::nullopt;
    at += silence;
  }
  return matched;
}

class OrlentaInX : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto missing = x11_test::MissingPrograms();
    if (!missing.empty()) ORLENTA_ABSENT("programs absent:" << Names(missing));
  }

  static std::string Names(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += " " + name;
    return text;
  }

  // A private X server with one screen of that size, and the player on it
  // with these arguments; the player's main window in `id`.
  void Start(QSize screen, const std::vector<std::string>& arguments) {
    ASSERT_NO_FATAL_FAILURE(StartServer(screen));
    ASSERT_NO_FATAL_FAILURE(StartPlayer(arguments));
    const auto found = server->FindWindow(kTitle, kPatience);
    ASSERT_TRUE(found) << "no main window";
    id = *found;
    if (const auto geometry = server->WindowGeometry(id)) window = *geometry;
  }

  void StartServer(QSize screen) {
    server = std::make_unique<x11_test::XServer>(screen.width(), screen.height(), dir / "xvfb.log");
    ASSERT_TRUE(server->Ok()) << testing_support::ReadFile(dir / "xvfb.log").size();
  }

  // The player on the server, not waiting for its window.
  void StartPlayer(const std::vector<std::string>& arguments) {
    const auto runtime = dir / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::vector<std::string> argv = {testing_support::BuiltTool("app/orlenta").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ASSERT_TRUE(orlenta.Start(argv,
                              {{"DISPLAY", server->Display()},
                               {"QT_QPA_PLATFORM", "xcb"},
                               {"XDG_RUNTIME_DIR", runtime.string()},
                               {"ORLENTA_SOUND", "null"},
                               {"ORLENTA_SOUND_RECORD", (dir / "sound.pcm").string()}},
                              dir / "orlenta.log"));
  }

  // Ends the player, the window manager and the server; the next Start
  // begins afresh.
  void StopPlayer() {
    EXPECT_EQ(orlenta.Stop(SIGTERM, kPatience), std::optional<int>(0));
    ShowLogOnFailure();
    manager.reset();
    server.reset();
  }

  void ShowLogOnFailure() {
    if (!HasFailure()) return;
    std::ifstream log(dir / "orlenta.log");
    for (std::string line; std::getline(log, line);) std::cerr << "orlenta: " << line << "\n";
  }

  // Waits until the main window has that size; its geometry in `window`.
  bool TakesSize(QSize size) {
    return x11_test::WaitUntil(
        [&] {
          const auto geometry = server->WindowGeometry(id);
          if (geometry) window = *geometry;
          return geometry && geometry->size() == size;
        },
        kPatience);
  }

  QImage Capture() { return server->Capture(dir.path()); }

  void ExpectEveryControlInside(const QRect& screen) {
    EXPECT_TRUE(screen.contains(window)) << "window at " << window.x() << "," << window.y() << " "
                                         << window.width() << "x" << window.height();
    for (const auto& [name, rect] : Controls(window.width(), window.height()))
      EXPECT_TRUE(screen.contains(rect.translated(window.topLeft()))) << name;
  }

  // Presses the button that opens a file dialog and answers the dialog (see
  // x11_test::XServer::AnswerFileDialog).  A click that a loaded server
  // loses is repeated; one the program took is not, because the dialog is
  // modal and the main window ignores further clicks.
  ::testing::AssertionResult AnswerFileDialog(const char* button, const std::string& title,
                                              const std::string& path) {
    const auto dialog = OpensDialog(button, title);
    if (!dialog) return ::testing::AssertionFailure() << "no file dialog";
    if (!server->AnswerFileDialog(*dialog, title, path, kPatience))
      return ::testing::AssertionFailure() << "the file dialog did not take " << path;
    return ::testing::AssertionSuccess();
  }

  // Presses the button until the window of that title shows (see
  // AnswerFileDialog); the window.
  std::optional<std::string> OpensDialog(const char* button, const std::string& title) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    std::optional<std::string> shown;
    while (!shown && std::chrono::steady_clock::now() < end) {
      Press(button);
      shown = server->FindWindow(title, 5s);
    }
    return shown;
  }

  // Opens the conversion dialog of the stopped player and names its output
  // in the file dialog as a user would; the dialog's place in `box`.
  bool OpensConverterFor(const std::string& avi, QRect& box) {
    Press("Convert AVI");
    const auto converter = server->FindWindow("Convert Vyx file to Avi", 10s);
    if (!converter) return false;
    if (!x11_test::WaitUntil(
            [&] {
              const auto geometry = server->WindowGeometry(*converter);
              if (geometry) box = *geometry;
              return geometry && geometry->width() > 400;
            },
            10s))
      return false;
    server->Click(DialogUnit(box, 400, 33));  // "..."
    const auto fileDialog = server->FindWindow("Save As", 10s);
    return fileDialog && server->AnswerFileDialog(*fileDialog, "Save As", avi, kPatience);
  }

  // A point of the conversion dialog by its place in dialog units (6 x 13
  // pixels a base unit).
  static QPoint DialogUnit(const QRect& box, int x, int y) {
    return box.topLeft() + QPoint(x * 6 / 4, y * 13 / 8);
  }

  // Waits for a message box of the program and closes it as a user would.
  bool ClosesMessageBox() {
    if (!server->FindWindow("Orlenta", kPatience)) return false;
    server->Keys("Return");
    return x11_test::WaitUntil([&] { return !server->FindWindow("Orlenta", 0s); }, kPatience);
  }

  // Pixels of the time text's colour in its box: none while it is empty.
  int TimeTextPixels(const QImage& screen) const {
    const QRect box = Edges(10, window.height() - 45, 115, window.height() - 21).translated(window.topLeft());
    int count = 0;
    for (int y = box.top() + 2; y < box.bottom() - 1; ++y)
      for (int x = box.left() + 2; x < box.right() - 1; ++x) count += qGray(screen.pixel(x, y)) > 100;
    return count;
  }

  // The brightest channel value in the video area.
  int Brightest(const QImage& screen) const {
    const QRect area = Edges(10, 37, window.width() - 10, window.height() - 76).translated(window.topLeft());
    int brightest = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2)
      for (int x = area.left(); x <= area.right(); x += 2) {
        const QRgb p = screen.pixel(x, y);
        brightest = std::max({brightest, qRed(p), qGreen(p), qBlue(p)});
      }
    return brightest;
  }

  std::string Enabling(const QImage& screen) {
    std::string row;
    for (const ButtonLook& button : Buttons(window.width(), window.height()))
      row += ButtonState(screen, window.topLeft(), button);
    return row;
  }

  // Waits until the buttons show the row, the mouse resting on the frame.
  bool ShowsEnabling(const std::string& row, std::string& seen) {
    server->MoveMouse(window.topLeft() + QPoint(3, window.height() / 2));
    return x11_test::WaitUntil([&] { return (seen = Enabling(Capture())) == row; }, kPatience);
  }

  QPoint Center(const ButtonLook& button) const {
    return window.topLeft() + QPoint(button.left + button.width / 2, button.top + button.height / 2);
  }
  void Press(const char* name) {
    for (const ButtonLook& button : Buttons(window.width(), window.height()))
      if (std::string(button.name) == name) server->Click(Center(button));
  }

  // The video box: the container's area less the frame, with the
  // picture's aspect, centred.
  QRect VideoBox() const {
    const int cw = window.width() - 20, ch = window.height() - 113;
    int bw = kPictureWidth * ch / kPictureHeight, bh = ch;
    if (bw > cw) {
      bw = cw;
      bh = kPictureHeight * cw / kPictureWidth;
    }
    return QRect(window.left() + 10 + cw / 2 - bw / 2, window.top() + 37 + ch / 2 - bh / 2, bw, bh);
  }

  Cells Shown() { return Average(Capture(), VideoBox()); }

  size_t VisibleWindows() {
    const auto found = server->Xdotool("search --onlyvisible --class orlenta");
    return found ? static_cast<size_t>(std::count(found->begin(), found->end(), '\n')) : 0;
  }

  // Opens the video area's context menu and chooses an item of a submenu:
  // `down` steps to the submenu, `downInSubmenu` steps from its first item.
  bool ChooseFromSubmenu(int down, int downInSubmenu) {
    const size_t windowsBefore = VisibleWindows();
    server->Click(VideoBox().center(), 3);
    if (!x11_test::WaitUntil([&] { return VisibleWindows() > windowsBefore; }, kPatience)) return false;
    std::string keys;
    for (int i = 0; i < down; ++i) keys += "Down ";
    server->Keys(keys + "Right");
    if (!x11_test::WaitUntil([&] { return VisibleWindows() > windowsBefore + 1; }, kPatience)) return false;
    keys.clear();
    for (int i = 0; i < downInSubmenu; ++i) keys += "Down ";
    server->Keys(keys + "Return");
    return x11_test::WaitUntil([&] { return VisibleWindows() == windowsBefore; }, kPatience);
  }

  testing_support::ScratchDir dir{"orlenta_x11"};
  std::unique_ptr<x11_test::XServer> server;
  std::unique_ptr<x11_test::WindowManager> manager;
  x11_test::Process orlenta;
  std::string id;
  QRect window;
};

TEST_F(OrlentaInX, PlaysTheArchiveNamedOnTheCommandLine) {
  const std::string archive = dir / "sample.vyx";
  ASSERT_EQ(testing_support::Run("VYXMUX='" + testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' '" +
                                 ORLENTA_SOURCE_DIR "/tools/make-sample-archive' --seconds 20 --streams '" +
                                 (dir / "streams").string() + "' '" + archive + "'"),
            0);
  const std::vector<Cells> pictures = ReferencePictures(dir, dir / "streams/video.264");
  ASSERT_EQ(pictures.size(), 500u);

  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {archive}));
  // The window takes the picture's size.
  ASSERT_TRUE(TakesSize({kPictureWidth, kPictureHeight})) << window.width() << "x" << window.height();

  std::string seen;
  EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  // The video area shows the archive's pictures, without the media
  // information text.
  Match playing;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] { return (playing = BestMatch(Shown(), pictures, Everywhere)).difference < kSamePicture; }, kPatience))
      << "best difference " << playing.difference;
  {
    const Cells shown = Shown();
    const Match rest = BestMatch(shown, pictures, OutsideTextCorner);
    EXPECT_LT(Difference(shown, pictures[rest.picture], InTextCorner), kTextShown) << "text before it was asked for";
  }

  // The media information at the top left, chosen from the context menu.
  ASSERT_TRUE(ChooseFromSubmenu(4, 1)) << "no context menu or submenu";
  double corner = 0;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] {
        const Cells shown = Shown();
        const Match rest = BestMatch(shown, pictures, OutsideTextCorner);
        corner = Difference(shown, pictures[rest.picture], InTextCorner);
        return rest.difference < kSamePicture && corner > kTextShown;
      },
      kPatience))
      << "corner differs by " << corner;

  Press("Pause");
  EXPECT_TRUE(ShowsEnabling("-++-+++-", seen)) << "paused: " << seen;
  const Match paused = BestMatch(Shown(), pictures, OutsideTextCorner);
  Press("Step Forward");
  Match stepped;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] {
        stepped = BestMatch(Shown(), pictures, OutsideTextCorner);
        return stepped.picture != paused.picture;
      },
      kPatience))
      << "the step showed no other picture";
  EXPECT_LT(stepped.difference, kSamePicture);
  EXPECT_TRUE(ShowsEnabling("-++-+++-", seen)) << "after a step: " << seen;

  Press("Stop");
  EXPECT_TRUE(ShowsEnabling("++-----+", seen)) << "stopped: " << seen;

  // Convert AVI: the output named in the file dialog by typing it, the
  // whole archive converted.
  const std::string avi = dir / "sample.avi";
  QRect box;
  ASSERT_TRUE(OpensConverterFor(avi, box)) << "no conversion dialog or no file dialog";
  const size_t withConverter = VisibleWindows();
  server->Click(DialogUnit(box, 326, 74));  // "Vyx to Avi"
  std::optional<std::string> packets;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] {
        packets = testing_support::RunOutput("ffprobe -v quiet -select_streams v -count_packets -show_entries "
                                             "stream=nb_read_packets -of csv=p=0 '" + avi + "'");
        return packets && *packets == "500\n";
      },
      30s))
      << (packets ? *packets : "no ffprobe output");
  server->Click(DialogUnit(box, 386, 74));  // Exit
  EXPECT_TRUE(x11_test::WaitUntil([&] { return VisibleWindows() < withConverter; }, 10s)) << "the dialog stayed";

  // A request to end closes the window; the program ends normally.
  EXPECT_EQ(orlenta.Stop(SIGTERM, kPatience), std::optional<int>(0));

  // What the sound output played is the archive's voice, as ffmpeg expands
  // the mu-law stream it was made of, from its start for as long as it
  // played (Pause comes after the first second of pictures).
  const auto expanded = dir / "voice.pcm";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f mulaw -ar 8000 -ac 1 -i '" +
                                 (dir / "streams/voice.ul").string() + "' -f s16le '" + expanded.string() + "'"),
            0);
  const std::vector<uint8_t> reference = testing_support::ReadFile(expanded);
  const std::vector<uint8_t> played = testing_support::ReadFile(dir / "sound.pcm");
  const auto prefix = PlayedPrefix(played, reference);
  ASSERT_TRUE(prefix) << "the recording holds sound that is not the archive's voice";
  EXPECT_GE(*prefix, 4 * kNodeBytes) << "less than half a second played";
  ShowLogOnFailure();
}

// An archive of JPEG pictures (frame type 136) plays like an H.264 one: the
// video area shows libjpeg-turbo's decode of its pictures, made the way the
// player's fast decoder makes them (AAN IDCT, chroma replicated).
TEST_F(OrlentaInX, PlaysAnArchiveOfJpegPictures) {
  if (!testing_support::HaveProgram("djpeg")) GTEST_SKIP() << "program absent: djpeg";
  const std::string frames = dir / "j%03d.jpg";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=704x576:rate=25 "
                                 "-frames:v 100 -pix_fmt yuvj420p -c:v mjpeg -q:v 3 -f image2 '" + frames + "'"),
            0);
  std::string pictureArguments;
  std::vector<Cells> pictures;
  for (int i = 1; i <= 100; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "j%03d.jpg", i);
    const auto jpeg = dir / name;
    const auto decoded = dir / "decoded.ppm";
    ASSERT_EQ(testing_support::Run("djpeg -dct fast -nosmooth -ppm '" + jpeg.string() + "' > '" + decoded.string() + "'"),
              0);
    const QImage image(QString::fromStdString(decoded.string()));
    ASSERT_EQ(image.size(), QSize(kPictureWidth, kPictureHeight));
    pictures.push_back(Average(image, image.rect()));
    pictureArguments += " --jpeg '" + jpeg.string() + "'";
  }
  const std::string archive = dir / "pictures.vyx";
  ASSERT_EQ(testing_support::Run("'" + testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' -o '" + archive +
                                 "'" + pictureArguments + " >/dev/null"),
            0);

  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {archive}));
  ASSERT_TRUE(TakesSize({kPictureWidth, kPictureHeight})) << window.width() << "x" << window.height();
  std::string seen;
  EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  Match playing;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] { return (playing = BestMatch(Shown(), pictures, Everywhere)).difference < kSamePicture; }, 10s))
      << "best difference " << playing.difference;
  Press("Pause");
  EXPECT_TRUE(ShowsEnabling("-++-+++-", seen)) << "paused: " << seen;
  EXPECT_LT(BestMatch(Shown(), pictures, Everywhere).difference, kSamePicture);
  StopPlayer();
}

// A 1080p archive on screens smaller than its picture: the window keeps
// the shape of its video area but shrinks it so that every control stays
// on the screen, for the archive's own size and for the context menu's
// zoom levels; a window that fits stays where the user put it.
// An archive recorded as MPEG-4 Part 2 plays through the program's own
// decoder; paused, the picture on the screen is FFmpeg's decode of one of
// its frames.
TEST_F(OrlentaInX, PlaysAnMpeg4ArchivePausedOnItsPicture) {
  const auto stream = dir / "video.m4v";
  ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" +
                                 std::to_string(kPictureWidth) + "x" + std::to_string(kPictureHeight) +
                                 ":rate=25 -frames:v 250 -threads 1 -c:v mpeg4 -q:v 4 -g 25 -flags +mv4 -f m4v '" +
                                 stream.string() + "'"),
            0);
  const std::string archive = dir / "mpeg4.vyx";
  ASSERT_EQ(testing_support::Run("'" + testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' -o '" +
                                 archive + "' --mpeg4 '" + stream.string() + "' >/dev/null"),
            0);
  const std::vector<Cells> pictures = ReferencePictures(dir, stream, "-threads 1 -idct xvid -f m4v");
  ASSERT_EQ(pictures.size(), 250u);

  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {archive}));
  ASSERT_TRUE(TakesSize({kPictureWidth, kPictureHeight})) << window.width() << "x" << window.height();
  std::string seen;
  EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  Match playing;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] { return (playing = BestMatch(Shown(), pictures, Everywhere)).difference < kSamePicture; }, kPatience))
      << "best difference " << playing.difference;

  Press("Pause");
  EXPECT_TRUE(ShowsEnabling("-++-+++-", seen)) << "paused: " << seen;
  // Paused, the screen holds still on one picture, and that picture is
  // FFmpeg's.
  Match paused, again;
  EXPECT_TRUE(x11_test::WaitUntil(
      [&] {
        paused = BestMatch(Shown(), pictures, Everywhere);
        again = BestMatch(Shown(), pictures, Everywhere);
        return paused.picture == again.picture && again.difference < kSamePicture;
      },
      kPatience))
      << "picture " << paused.picture << " then " << again.picture << ", difference " << again.difference;
  EXPECT_LT(again.difference, kSamePicture);
  StopPlayer();
}

TEST_F(OrlentaInX, ALargePictureKeepsEveryControlOnTheScreen) {
  const auto archive = app_test::H264Archive(dir, "hd", "testsrc2=size=1920x1080:rate=25", 375);
  ASSERT_TRUE(archive);
  // The window the size rule asks for, less the skin around the video area,
  // leaves a video area of 1900 x 967 at 1:1 and of 3820 x 2047 at 2:1; each
  // is scaled down, with its shape, to what the screen leaves for it.
  struct Case {
    QSize screen;
    QSize window;  // at 1:1
    QSize doubled;  // at 2:1
  };
  for (const Case& c : {Case{{1366, 768}, {1306, 768}, {1242, 768}}, Case{{1024, 768}, {1024, 623}, {1024, 651}}}) {
    SCOPED_TRACE(std::to_string(c.screen.width()) + "x" + std::to_string(c.screen.height()));
    const QRect screen(QPoint(0, 0), c.screen);
    ASSERT_NO_FATAL_FAILURE(Start(c.screen, {*archive}));
    ASSERT_TRUE(TakesSize(c.window)) << window.width() << "x" << window.height();
    ExpectEveryControlInside(screen);
    std::string seen;
    EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;

    // Put somewhere else by the user, 1:4 Quarter (the minimum size) fits
    // there and stays.
    const QPoint place(100, 50);
    server->Xdotool("windowmove " + id + " " + std::to_string(place.x()) + " " + std::to_string(place.y()));
    ASSERT_TRUE(x11_test::WaitUntil([&] { return server->WindowGeometry(id).value_or(QRect()).topLeft() == place; }, kPatience));
    ASSERT_TRUE(ChooseFromSubmenu(2, 0)) << "no zoom menu";
    ASSERT_TRUE(TakesSize({kMinimumWindowWidth, kMinimumWindowHeight}));
    EXPECT_EQ(window.topLeft(), place);
    // 2:1 Double is bounded like the archive's own size, and the window
    // moves back onto the screen only as far as it must.
    ASSERT_TRUE(ChooseFromSubmenu(2, 3)) << "no zoom menu";
    ASSERT_TRUE(TakesSize(c.doubled)) << window.width() << "x" << window.height();
    ExpectEveryControlInside(screen);
    EXPECT_EQ(window.topLeft(), QPoint(std::min(place.x(), c.screen.width() - c.doubled.width()),
                                       std::min(place.y(), c.screen.height() - c.doubled.height())));

    // The user can stop it.
    EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
    Press("Stop");
    EXPECT_TRUE(ShowsEnabling("++-----+", seen)) << "stopped: " << seen;
    StopPlayer();
  }
}

// A file that is no archive, opened after one played: the window is left
// as if nothing had been opened, not with the old picture and time and a
// Play that would pretend to play.
TEST_F(OrlentaInX, AFailedOpenLeavesTheWindowEmpty) {
  const std::string archive = dir / "sample.vyx";
  ASSERT_EQ(testing_support::Run("VYXMUX='" + testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' '" +
                                 ORLENTA_SOURCE_DIR "/tools/make-sample-archive' --seconds 10 --streams '" +
                                 (dir / "streams").string() + "' '" + archive + "'"),
            0);
  const std::string raw = dir / "raw.vyx";
  std::filesystem::copy_file(dir / "streams/video.264", raw);

  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {archive}));
  ASSERT_TRUE(TakesSize({kPictureWidth, kPictureHeight}));
  std::string seen;
  ASSERT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  ASSERT_TRUE(x11_test::WaitUntil([&] { return TimeTextPixels(Capture()) > 0; }, kPatience)) << "no time shown";
  Press("Stop");
  ASSERT_TRUE(ShowsEnabling("++-----+", seen)) << "stopped: " << seen;
  ASSERT_GT(Brightest(Capture()), 200) << "no picture shown";

  ASSERT_TRUE(AnswerFileDialog("Open", "Open", raw));
  ASSERT_TRUE(ClosesMessageBox()) << "no message box";
  EXPECT_TRUE(ShowsEnabling("+-------", seen)) << "after the failed open: " << seen;
  const QImage screen = Capture();
  EXPECT_LT(Brightest(screen), 16) << "the video area is not black";
  EXPECT_EQ(TimeTextPixels(screen), 0) << "the time text stayed";
  // Play, were it enabled, would show a playing state; it stays disabled.
  Press("Play");
  QThread::msleep(300);
  EXPECT_TRUE(ShowsEnabling("+-------", seen)) << "after pressing Play: " << seen;
  StopPlayer();
}

// Saving a snapshot where it cannot be written tells the user which file
// and why; saving one where it can says nothing.
TEST_F(OrlentaInX, AFailedSnapshotSaysSo) {
  const std::string archive = dir / "sample.vyx";
  ASSERT_EQ(testing_support::Run("VYXMUX='" + testing_support::BuiltTool("tools/vyxmux/vyxmux").string() + "' '" +
                                 ORLENTA_SOURCE_DIR "/tools/make-sample-archive' --seconds 10 '" + archive + "'"),
            0);
  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {archive}));
  ASSERT_TRUE(TakesSize({kPictureWidth, kPictureHeight}));
  std::string seen;
  ASSERT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  Press("Pause");
  ASSERT_TRUE(ShowsEnabling("-++-+++-", seen)) << "paused: " << seen;

  ASSERT_TRUE(AnswerFileDialog("Snapshot", "Save As", dir / "no_such_folder" / "shot.jpg"));
  EXPECT_TRUE(ClosesMessageBox()) << "the failure was not shown";

  const std::string saved = dir / "shot.jpg";
  ASSERT_TRUE(AnswerFileDialog("Snapshot", "Save As", saved));
  EXPECT_TRUE(x11_test::WaitUntil([&] { return std::filesystem::exists(saved); }, kPatience));
  EXPECT_FALSE(server->FindWindow("Orlenta", 1s)) << "a saved snapshot was announced";
  StopPlayer();
}

// A 1080p archive on a 1366x768 screen under a window manager: the whole
// frame, title bar included, lies on the screen at every start.  In every
// other start the window manager is held until the player has fitted its
// window, so that the frame comes only after the fit, as it does on a busy
// desktop.
TEST_F(OrlentaInX, UnderAWindowManagerTheWholeFrameStaysOnTheScreen) {
  const auto missing = x11_test::MissingWindowManagerPrograms();
  if (!missing.empty()) ORLENTA_ABSENT("programs absent:" << Names(missing));
  const auto archive = app_test::H264Archive(dir, "hd", "testsrc2=size=1920x1080:rate=25", 125);
  ASSERT_TRUE(archive);
  const QRect screen(0, 0, 1366, 768);
  for (int start = 0; start < 5; ++start) {
    const bool frameAfterFit = start % 2 == 0;
    SCOPED_TRACE("start " + std::to_string(start) + (frameAfterFit ? ", frame after the fit" : ""));
    ASSERT_NO_FATAL_FAILURE(StartServer(screen.size()));
    manager = std::make_unique<x11_test::WindowManager>(*server, dir.path());
    ASSERT_TRUE(manager->Ok()) << "openbox did not take the screen";
    if (frameAfterFit) manager->Pause();
    ASSERT_NO_FATAL_FAILURE(StartPlayer({*archive}));
    if (frameAfterFit) {
      const auto unmanaged = server->FindWindow(kTitle, kPatience, false);
      ASSERT_TRUE(unmanaged) << "no main window";
      // The size the player asks of the window manager: the first window is
      // 786 wide, the one fitted to the archive on this screen wider.
      EXPECT_TRUE(x11_test::WaitUntil(
          [&] {
            const auto hints = server->Xprop("-id " + *unmanaged + " WM_NORMAL_HINTS");
            const size_t at = hints ? hints->find("specified size: ") : std::string::npos;
            return at != std::string::npos && std::atoi(hints->c_str() + at + 16) > 1000;
          },
          kPatience))
          << "the player did not fit its window";
      manager->Resume();
    }
    const auto found = server->FindWindow(kTitle, kPatience);
    ASSERT_TRUE(found) << "no main window";
    id = *found;
    // The picture is wider than the screen's shape: the frame takes the
    // screen's whole height.
    QRect frame;
    EXPECT_TRUE(x11_test::WaitUntil(
        [&] {
          const auto geometry = server->FrameGeometry(id);
          if (geometry) frame = *geometry;
          return geometry && screen.contains(frame) && frame.height() == screen.height();
        },
        kPatience))
        << "frame at " << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    StopPlayer();
    if (HasFatalFailure()) return;
  }
}

// A request to end the program while a modal window is up: the open file
// dialog, a message box, the conversion dialog while it converts (the
// conversion is aborted).  The program ends normally, and soon.
TEST_F(OrlentaInX, EndsOnRequestWithAModalWindowUp) {
  const std::string notAnArchive = dir / "noise.vyx";
  {
    std::ofstream noise(notAnArchive, std::ios::binary);
    for (int i = 0; i < 4096; ++i) noise.put(static_cast<char>(i * 37 + 11));
  }
  // Many small records: the conversion takes a while.
  const std::string pictures = app_test::JpegArchive(dir, "pictures", 64, 48, app_test::EverySecond(50000));
  const std::string avi = dir / "pictures.avi";
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::function<void()> bringUp;
  };
  const Case cases[] = {
      {"the Open dialog", {}, [&] { ASSERT_TRUE(OpensDialog("Open", "Open")) << "no file dialog"; }},
      {"a message box", {notAnArchive},
       [&] { ASSERT_TRUE(server->FindWindow("Orlenta", kPatience)) << "no message box"; }},
      {"a conversion", {pictures},
       [&] {
         ASSERT_TRUE(TakesSize({kMinimumWindowWidth, kMinimumWindowHeight}));
         std::string seen;
         ASSERT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
         Press("Stop");
         ASSERT_TRUE(ShowsEnabling("++-----+", seen)) << "stopped: " << seen;
         QRect box;
         ASSERT_TRUE(OpensConverterFor(avi, box)) << "no conversion dialog or no file dialog";
         server->Click(DialogUnit(box, 326, 74));  // "Vyx to Avi"
         ASSERT_TRUE(x11_test::WaitUntil([&] { return std::filesystem::exists(avi); }, kPatience))
             << "no conversion";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, c.arguments));
    ASSERT_NO_FATAL_FAILURE(c.bringUp());
    const std::optional<int> status = orlenta.Stop(SIGTERM, 3s);
    EXPECT_EQ(status, std::optional<int>(0)) << "the program did not end within 3 s";
    if (!status) orlenta.Stop(SIGKILL, kPatience);
    ShowLogOnFailure();
    server.reset();
  }
}

// An archive whose video cannot be shown, opened after one of solid red:
// the video area turns black at the open, and stays so while the new
// archive's clock runs; the red picture does not stay behind.
TEST_F(OrlentaInX, AnArchiveThatShowsNoPictureLeavesNoneOfTheLastOne) {
  for (const char* colour : {"red", "green"}) {
    ASSERT_EQ(testing_support::Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=" + std::string(colour) +
                                   ":size=352x288 -frames:v 1 -pix_fmt yuvj420p -c:v mjpeg '" +
                                   (dir / (std::string(colour) + ".jpg")).string() + "'"),
              0);
  }
  const std::string vyxmux = testing_support::BuiltTool("tools/vyxmux/vyxmux").string();
  std::string red, green;
  for (int i = 0; i < 250; ++i) {
    red += " --jpeg '" + (dir / "red.jpg").string() + "'";
    green += " --jpeg '" + (dir / "green.jpg").string() + "'";
  }
  const std::string redArchive = dir / "red.vyx", undecodable = dir / "undecodable.vyx";
  ASSERT_EQ(testing_support::Run("'" + vyxmux + "' -o '" + redArchive + "'" + red + " >/dev/null"), 0);
  // JPEG pictures typed as H.264 key frames: no decoder takes them.
  ASSERT_EQ(testing_support::Run("'" + vyxmux + "' -o '" + undecodable + "' --type 133" + green + " >/dev/null"), 0);

  ASSERT_NO_FATAL_FAILURE(Start({1280, 1024}, {redArchive}));
  ASSERT_TRUE(TakesSize({kMinimumWindowWidth, kMinimumWindowHeight}));
  auto redPixels = [&](const QImage& screen) {
    const QRect area = Edges(10, 37, window.width() - 10, window.height() - 76).translated(window.topLeft());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2)
      for (int x = area.left(); x <= area.right(); x += 2) {
        const QRgb p = screen.pixel(x, y);
        count += qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
      }
    return count;
  };
  ASSERT_TRUE(x11_test::WaitUntil([&] { return redPixels(Capture()) > 1000; }, kPatience)) << "no red picture";
  std::string seen;
  Press("Stop");
  ASSERT_TRUE(ShowsEnabling("++-----+", seen)) << "stopped: " << seen;

  ASSERT_TRUE(AnswerFileDialog("Open", "Open", undecodable));
  EXPECT_TRUE(ShowsEnabling("--++----", seen)) << "playing: " << seen;
  int shown = 0;
  EXPECT_TRUE(x11_test::WaitUntil([&] { return (shown = redPixels(Capture())) == 0; }, kPatience))
      << shown << " red pixels stayed";
  // Its clock runs, over a black video area.
  QImage screen;
  EXPECT_TRUE(x11_test::WaitUntil([&] { return TimeTextPixels(screen = Capture()) > 0; }, kPatience))
      << "no time shown";
  EXPECT_EQ(redPixels(screen), 0);
  StopPlayer();
}

}  // namespace
