// The fisheye views in a real X window: orlenta on a private X server with
// a square archive made at test time and an equidistant "dewarp.ini" in its
// current directory, paused, then driven with xdotool: a view, a tile
// clicked, the wheel, a drag and the mounts.  The video area is checked
// against FFmpeg's v360 view of FFmpeg's decode of the archive's picture.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QImage>
#include <QThread>
#include <cmath>
#include <fstream>

#include "tests/app/app_test_archives.h"
#include "tests/app/picture_grid.h"
#include "tests/app/x11_session.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;

constexpr int kSource = 480;
constexpr int kGridX = 40, kGridY = 30;
const std::string kTitle = "Orlenta 2\\.0\\.1\\.30";

using Grid = x11_test::GridCells;

Grid Average(const QImage& image, const QRect& area) {
  return x11_test::AverageCells(image, area, kGridX, kGridY);
}

double Difference(const Grid& a, const Grid& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int c = 0; c < 3; ++c) sum += std::abs(a[i][c] - b[i][c]);
  return sum / (3.0 * static_cast<double>(a.size()));
}

// The v360 view of one PTZ tile (pan, tilt, zoom; w x h) as the ceiling
// mount shows it, as a filter chain label.
std::string CeilingTile(const std::string& in, const std::string& out, int pan, int tilt, int zoom, int w, int h) {
  const auto reduced = [](double a) {
    a = std::fmod(a + 180.0, 360.0);
    return (a < 0 ? a + 360.0 : a) - 180.0;
  };
  const std::string size = std::to_string(w);
  return "[" + in + "]v360=input=fisheye:ih_fov=180:iv_fov=180:output=flat:w=" + size + ":h=" + size +
         ":h_fov=" + std::to_string(zoom) + ":v_fov=" + std::to_string(zoom) +
         ":rorder=rpy:roll=" + std::to_string(reduced(pan - 90)) + ":pitch=" + std::to_string(reduced(tilt - 90)) +
         ":h_offset=" + std::to_string(-1.0 / w) + ":v_offset=" + std::to_string(-1.0 / w) +
         ":interp=near,crop=" + size + ":" + std::to_string(h) + ":0:0,hflip,vflip[" + out + "]";
}

// ffmpeg's decode of the archive's first picture through the filter graph,
// averaged onto the grid; empty when ffmpeg fails.
Grid Reference(const testing_support::ScratchDir& dir, const std::filesystem::path& stream, const std::string& graph) {
  const auto raw = dir / "reference.rgb";
  const std::string command = "ffmpeg -nostdin -loglevel error -y -i '" + stream.string() +
                              "' -frames:v 1 -filter_complex '" + graph + ",scale=" + std::to_string(kGridX) + ":" +
                              std::to_string(kGridY) + ":flags=area,format=rgb24' -f rawvideo '" + raw.string() + "'";
  if (testing_support::Run(command) != 0) return {};
  const std::vector<uint8_t> bytes = testing_support::ReadFile(raw);
  if (bytes.size() != size_t{kGridX} * kGridY * 3) return {};
  Grid grid(kGridX * kGridY);
  for (size_t i = 0; i < grid.size(); ++i) grid[i] = {double(bytes[3 * i]), double(bytes[3 * i + 1]), double(bytes[3 * i + 2])};
  return grid;
}

// The ceiling quad (mode 17), with zooms per tile.
std::string CeilingQuad(const std::array<int, 4>& zooms) {
  const int pans[4] = {225, 315, 135, 45};
  std::string graph = "[0:v]format=rgb24,split=4[s0][s1][s2][s3]";
  for (int i = 0; i < 4; ++i)
    graph += ";" + CeilingTile("s" + std::to_string(i), "t" + std::to_string(i), pans[i], 30, zooms[i], 640, 480);
  return graph + ";[t0][t1]hstack[top];[t2][t3]hstack[bottom];[top][bottom]vstack";
}

// The shown view differs from v360's by about 8 on the grid (nearest
// sampling at the bars' sharp edges, the display's scaling, the selection
// border); the raw picture by about 97, a tile zoomed by 5 degrees by 10.
constexpr double kSameView = 12.0;

// Where the video box lies on the screen: centred in the video area with
// the picture's shape.
QRect BoxOnScreen(const QRect& window, int pictureWidth, int pictureHeight) {
  const QRect area(window.left() + 10, window.top() + 37, window.width() - 60, window.height() - 113);
  int w = pictureWidth * area.height() / pictureHeight, h = area.height();
  if (w > area.width()) {
    w = area.width();
    h = pictureHeight * area.width() / pictureWidth;
  }
  return QRect(area.left() + area.width() / 2 - w / 2, area.top() + area.height() / 2 - h / 2, w, h);
}

TEST(OrlentaFisheyeInX, ViewsMatchV360) {
  const auto missing = x11_test::MissingPrograms();
  if (!missing.empty()) {
    if (std::getenv("ORLENTA_REQUIRE_X11")) FAIL() << "programs absent";
    GTEST_SKIP() << "programs absent";
  }
  testing_support::ScratchDir dir("orlenta_x11_fisheye");
  const std::optional<std::string> archive = app_test::H264Archive(
      dir, "fisheye", "smptehdbars=size=" + std::to_string(kSource) + "x" + std::to_string(kSource) + ":rate=25", 75);
  ASSERT_TRUE(archive);
  const auto stream = dir / "fisheye.264";
  {
    std::ofstream ini(dir / "dewarp.ini");
    ini << "[lens_param]\r\na0=0\r\na1=0.6366197723675814\r\na2=0\r\na3=0\r\na4=0\r\na5=0\r\n";
  }

  x11_test::XServer server(1366, 900, dir / "xvfb.log");
  ASSERT_TRUE(server.Ok());
  const auto runtime = dir / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  // The player reads "dewarp.ini" from the directory it starts in.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  x11_test::Process orlenta;
  const bool started = orlenta.Start({testing_support::BuiltTool("app/orlenta").string(), *archive},
                                     {{"DISPLAY", server.Display()},
                                      {"QT_QPA_PLATFORM", "xcb"},
                                      {"XDG_RUNTIME_DIR", runtime.string()},
                                      {"ORLENTA_SOUND", "null"}},
                                     dir / "orlenta.log");
  std::filesystem::current_path(previous);
  ASSERT_TRUE(started);
  const auto id = server.FindWindow(kTitle, 20s);
  ASSERT_TRUE(id);
  std::optional<QRect> window;
  ASSERT_TRUE(x11_test::WaitUntil([&] { return (window = server.WindowGeometry(*id)) && window->width() > 0; }, 20s));
  QThread::msleep(1500);  // playing
  const QRect& w = *window;
  const auto at = [&](int x, int y) { return QPoint(w.left() + x, w.top() + y); };
  server.Click(at(w.width() / 2 + 50, w.height() - 31));  // Pause
  QThread::msleep(500);

  // Ceiling mount, Quad View.
  server.Click(at(w.width() - 24, 37 + 2 * 54 + 27));
  QThread::msleep(1500);
  const QRect quad = BoxOnScreen(w, 1280, 960);
  const Grid quadShown = Average(server.Capture(dir.path()), quad);
  const Grid quadReference = Reference(dir, stream, CeilingQuad({120, 120, 120, 120}));
  ASSERT_FALSE(quadReference.empty());
  const Grid raw = Reference(dir, stream, "[0:v]format=rgb24,scale=1280:960");
  const double quadDifference = Difference(quadShown, quadReference);
  EXPECT_LT(quadDifference, kSameView);
  EXPECT_GT(Difference(quadShown, raw), 3 * quadDifference) << "the raw picture passes for the view";

  // The top right tile clicked and saved as a snapshot: that tile alone.
  server.Click(QPoint(quad.left() + quad.width() * 3 / 4, quad.top() + quad.height() / 4));
  QThread::msleep(500);
  server.Click(at(w.width() / 2 - 105, 18));  // Snapshot
  const auto fileDialog = server.FindWindow("Save As", 10s);
  ASSERT_TRUE(fileDialog) << "no file dialog";
  const auto saved = dir / "tile.bmp";
  ASSERT_TRUE(server.AnswerFileDialog(*fileDialog, "Save As", saved, testing_support::kPatience))
      << "the file dialog did not take " << saved;
  ASSERT_TRUE(x11_test::WaitUntil(
      [&] {
        std::error_code absent;
        return std::filesystem::file_size(saved, absent) == 54u + 640 * 480 * 4;
      },
      10s));
  const std::vector<uint8_t> bmp = testing_support::ReadFile(saved);
  ASSERT_EQ(bmp.size(), 54u + 640 * 480 * 4);
  const QImage tile(bmp.data() + 54, 640, 480, QImage::Format_RGB32);
  const Grid tileShown = Average(tile, tile.rect());
  const auto oneTile = [&](int pan) {
    return Reference(dir, stream, "[0:v]format=rgb24[s];" + CeilingTile("s", "t", pan, 30, 120, 640, 480) + ";[t]null");
  };
  EXPECT_LT(Difference(tileShown, oneTile(315)), kSameView);
  EXPECT_GT(Difference(tileShown, oneTile(225)), kSameView) << "the first tile was saved";

  // The selected tile zoomed by one wheel notch (the first notch only
  // starts the wheel's clock).
  server.Click(QPoint(quad.center()), 4);
  QThread::msleep(300);
  server.Click(QPoint(quad.center()), 4);
  QThread::msleep(1500);
  const Grid zoomed = Average(server.Capture(dir.path()), quad);
  const double zoomedDifference = Difference(zoomed, Reference(dir, stream, CeilingQuad({120, 115, 120, 120})));
  EXPECT_LT(zoomedDifference, kSameView);
  EXPECT_LT(zoomedDifference, Difference(zoomed, quadReference)) << "the zoom did not reach the second tile";

  // A drag on the selected tile turns it: the picture changes.
  const QPoint from(quad.left() + quad.width() * 3 / 4, quad.top() + quad.height() / 4);
  server.Xdotool("mousemove " + std::to_string(from.x()) + " " + std::to_string(from.y()) + " mousedown 1");
  for (int step = 1; step <= 4; ++step) {
    QThread::msleep(150);
    server.MoveMouse(from + QPoint(step * 20, 0));
  }
  server.Xdotool("mouseup 1");
  QThread::msleep(1500);
  const Grid dragged = Average(server.Capture(dir.path()), quad);
  EXPECT_GT(Difference(dragged, zoomed), 1.0);

  // Wall mount: a ceiling view falls back to the raw picture.
  server.Click(at(w.width() - 18, 18));
  QThread::msleep(1500);
  const Grid rawShown = Average(server.Capture(dir.path()), BoxOnScreen(w, kSource, kSource));
  EXPECT_LT(Difference(rawShown, Reference(dir, stream, "[0:v]format=rgb24")), kSameView);

  EXPECT_EQ(orlenta.Stop(SIGTERM, 10s), std::optional<int>(0));
}

}  // namespace
