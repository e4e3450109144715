#include "tests/app/x11_session.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtEndian>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "tests/support/test_support.h"

extern char** environ;

namespace x11_test {

using namespace std::chrono_literals;

std::vector<std::string> MissingPrograms() {
  std::vector<std::string> missing;
  for (const char* program : {"Xvfb", "xdotool", "xwd", "ffmpeg", "timeout"})
    if (!testing_support::HaveProgram(program)) missing.push_back(program);
  return missing;
}

std::vector<std::string> MissingWindowManagerPrograms() {
  std::vector<std::string> missing;
  for (const char* program : {"openbox", "xprop", "xwininfo"})
    if (!testing_support::HaveProgram(program)) missing.push_back(program);
  return missing;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

bool Process::Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                    const std::filesystem::path& log) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals) merged[std::string(*entry, static_cast<size_t>(equals - *entry))] = equals + 1;
  }
  for (const auto& [name, value] : environment) merged[name] = value;
  std::vector<std::string> envStrings;
  for (const auto& [name, value] : merged) envStrings.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argvCopy = argv;
  for (std::string& s : argvCopy) args.push_back(s.data());
  args.push_back(nullptr);

  status_.reset();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int result = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) pid_ = -1;
  return pid_ > 0;
}

bool Process::Running() {
  if (pid_ <= 0 || status_) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return true;
}

std::optional<int> Process::Stop(int signal, std::chrono::milliseconds timeout) {
  if (Running()) ::kill(pid_, signal);
  WaitUntil([&] { return !Running(); }, timeout);
  return status_;
}

void Process::Signal(int signal) {
  if (Running()) ::kill(pid_, signal);
}

Process::~Process() {
  if (!Running()) return;
  if (!Stop(SIGTERM, 3000ms)) Stop(SIGKILL, 3000ms);
}

XServer::XServer(int width, int height, const std::filesystem::path& log) {
  int fds[2];
  if (::pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  // The write end stays open in the child only: Xvfb writes its display
  // number there once it accepts clients.
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  const bool started = server_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                      "-nolisten", "tcp", "-noreset"},
                                     {}, log);
  ::close(fds[1]);
  if (started) {
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    if (!number.empty()) display_ = ":" + number;
  }
  ::close(fds[0]);
}

XServer::~XServer() { server_.Stop(SIGTERM, 3000ms); }

std::optional<std::string> XServer::Xdotool(const std::string& arguments) const {
  return testing_support::RunOutput("DISPLAY=" + display_ + " timeout 10 xdotool " + arguments + " 2>/dev/null");
}

std::optional<std::string> XServer::Xprop(const std::string& arguments) const {
  return testing_support::RunOutput("timeout 10 xprop -display " + display_ + " " + arguments + " 2>/dev/null");
}

std::optional<std::string> XServer::FindWindow(const std::string& title, std::chrono::milliseconds timeout,
                                               bool visible) const {
  std::optional<std::string> window;
  WaitUntil(
      [&] {
        const auto found = Xdotool(std::string("search ") + (visible ? "--onlyvisible " : "") + "--name '^" + title + "$'");
        if (!found || found->empty()) return false;
        window = found->substr(0, found->find('\n'));
        return true;
      },
      timeout);
  return window;
}

bool XServer::WaitForFocus(const std::string& window, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Xdotool("getwindowfocus") == window + "\n"; }, timeout);
}

bool XServer::AnswerFileDialog(const std::string& window, const std::string& title, const std::string& path,
                               std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  if (!WaitForFocus(window, timeout)) return false;
  do {
    Keys("ctrl+a");
    Xdotool("type --delay 10 '" + path + "'");
    Keys("Return");
    if (WaitUntil([&] { return !FindWindow(title, 0s); }, 5s)) return true;
  } while (std::chrono::steady_clock::now() < end && WaitForFocus(window, 0s));
  return false;
}

std::optional<QRect> XServer::WindowGeometry(const std::string& window) const {
  const auto shell = Xdotool("getwindowgeometry --shell " + window);
  if (!shell) return std::nullopt;
  std::map<std::string, int> values;
  std::istringstream lines(*shell);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
  }
  return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
}

std::optional<QRect> XServer::FrameGeometry(const std::string& window) const {
  const auto extents = Xprop("-id " + window + " _NET_FRAME_EXTENTS");
  const auto info = testing_support::RunOutput("timeout 10 xwininfo -display " + display_ + " -id " + window +
                                               " 2>/dev/null");
  int left, right, top, bottom;
  if (!extents || !info ||
      std::sscanf(extents->c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d", &left, &right, &top, &bottom) != 4)
    return std::nullopt;
  std::map<std::string, int> values;
  std::istringstream lines(*info);
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto start = line.find_first_not_of(' ');
    values[line.substr(start, colon - start)] = std::atoi(line.c_str() + colon + 1);
  }
  const QRect client(values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
                     values["Height"]);
  return client.adjusted(-left, -top, right, bottom);
}

void XServer::MoveMouse(QPoint at) const {
  Xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()));
}

void XServer::Click(QPoint at, int button) const {
  Xdotool("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click " +
          std::to_string(button));
}

void XServer::Keys(const std::string& keys) const { Xdotool("key --delay 50 " + keys); }

WindowManager::WindowManager(const XServer& server, const std::filesystem::path& home) {
  // openbox runs the start-up command once it manages the windows mapped
  // from then on; it names its screen earlier.
  const std::filesystem::path ready = home / "openbox.ready";
  std::filesystem::remove(ready);
  if (!process_.Start({"openbox", "--sm-disable", "--startup", "touch '" + ready.string() + "'"},
                      {{"DISPLAY", server.Display()}, {"HOME", home.string()}}, home / "openbox.log"))
    return;
  ok_ = WaitUntil([&] { return std::filesystem::exists(ready); }, std::chrono::seconds(30));
}

namespace {

// An X window dump (XWD file version 7) of a ZPixmap of 3 or 4 bytes a pixel.
QImage ReadXwd(const std::vector<uint8_t>& bytes) {
  auto word = [&](size_t index) -> uint32_t {
    if ((index + 1) * 4 > bytes.size()) return 0;
    return qFromBigEndian<uint32_t>(bytes.data() + index * 4);
  };
  const uint32_t headerSize = word(0), version = word(1), format = word(2);
  const uint32_t width = word(4), height = word(5), byteOrder = word(7), bitsPerPixel = word(11);
  const uint32_t bytesPerLine = word(12), redMask = word(14), greenMask = word(15), blueMask = word(16);
  const uint32_t colours = word(19);
  const uint32_t pixelBytes = bitsPerPixel / 8;
  if (version != 7 || format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || width == 0 || height == 0)
    return {};
  const size_t data = size_t{headerSize} + size_t{colours} * 12;
  if (data + size_t{bytesPerLine} * height > bytes.size() || bytesPerLine < width * pixelBytes) return {};
  auto shiftOf = [](uint32_t mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    return shift;
  };
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = bytes.data() + data + size_t{y} * bytesPerLine;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* at = row + x * pixelBytes;
      uint32_t pixel = 0;
      for (uint32_t i = 0; i < pixelBytes; ++i)
        pixel |= uint32_t{at[byteOrder == 0 ? i : pixelBytes - 1 - i]} << (8 * i);
      out[x] = qRgb((pixel & redMask) >> shiftOf(redMask), (pixel & greenMask) >> shiftOf(greenMask),
                    (pixel & blueMask) >> shiftOf(blueMask));
    }
  }
  return image;
}

}  // namespace

QImage XServer::Capture(const std::filesystem::path& scratch) const {
  const std::filesystem::path file = scratch / "screen.xwd";
  if (testing_support::Run("xwd -root -silent -display " + display_ + " -out '" + file.string() + "'") != 0)
    return {};
  return ReadXwd(testing_support::ReadFile(file));
}

}  // namespace x11_test
