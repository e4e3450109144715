#pragma once
// A private X server for tests that run the program in a real X window:
// Xvfb on a display of its own, programs started on it, xdotool for input
// and window queries, xwd for screen captures.
#include <signal.h>
#include <sys/types.h>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace x11_test {

// The programs these tests need; the names of those missing.
std::vector<std::string> MissingPrograms();
// Those a session with a window manager needs besides.
std::vector<std::string> MissingWindowManagerPrograms();

// A started program; ended (SIGTERM, then SIGKILL) when the object goes.
class Process {
 public:
  Process() = default;
  // Starts argv[0] (searched in PATH) with the environment of this process
  // plus `environment`; its output goes to `log`.
  bool Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
             const std::filesystem::path& log);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running();
  void Signal(int signal);
  // Sends the signal and waits for the end; the exit status (128 + signal
  // when killed), or nullopt when it did not end in time.
  std::optional<int> Stop(int signal, std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

class XServer {
 public:
  // Starts Xvfb with one 24-bit screen of the size given.
  XServer(int width, int height, const std::filesystem::path& log);
  ~XServer();
  bool Ok() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }

  // xdotool with these arguments on this display; its output, or nullopt
  // when it failed or took longer than ten seconds.
  std::optional<std::string> Xdotool(const std::string& arguments) const;
  // xprop with these arguments on this display; its output, or nullopt.
  std::optional<std::string> Xprop(const std::string& arguments) const;
  // The visible top-level window with exactly this title, waiting for it
  // (`visible` false: mapped or not).
  std::optional<std::string> FindWindow(const std::string& title, std::chrono::milliseconds timeout,
                                        bool visible = true) const;
  // Waits until the window has the keyboard focus; false on timeout.  A
  // window that shows does not take keys yet: Qt gives it the focus only
  // once it has handled its mapping, and keys typed before then go to the
  // window that had the focus (one that a modal window blocks drops them).
  bool WaitForFocus(const std::string& window, std::chrono::milliseconds timeout) const;
  // Answers a file dialog (the window of that title) as a user would: types
  // the path into it once it takes keys and presses Return; true once the
  // dialog has gone.  The path is typed again while the dialog stays with
  // the focus: Qt's dialog, lagging behind keys typed while its completion
  // list comes and goes, can keep a folder it selected on the way and open
  // that folder instead (a message box over it would hold the focus).
  bool AnswerFileDialog(const std::string& window, const std::string& title, const std::string& path,
                        std::chrono::milliseconds timeout) const;
  std::optional<QRect> WindowGeometry(const std::string& window) const;
  // The window with the frame a window manager put around it
  // (_NET_FRAME_EXTENTS); nullopt while it has none.
  std::optional<QRect> FrameGeometry(const std::string& window) const;
  void MoveMouse(QPoint at) const;
  void Click(QPoint at, int button = 1) const;
  void Keys(const std::string& keys) const;
  // The whole screen; a null image when it could not be captured.
  QImage Capture(const std::filesystem::path& scratch) const;

 private:
  Process server_;
  std::string display_;
};

// openbox on a server, with its default configuration.
class WindowManager {
 public:
  WindowManager(const XServer& server, const std::filesystem::path& home);
  ~WindowManager() { Resume(); }  // so that it can end
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  // It has started: it manages the windows mapped from now on.
  bool Ok() const { return ok_; }
  // A window manager too busy to answer: windows wait to be managed.
  void Pause() { process_.Signal(SIGSTOP); }
  void Resume() { process_.Signal(SIGCONT); }

 private:
  Process process_;
  bool ok_ = false;
};

// Polls until the condition holds; false on timeout.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace x11_test
