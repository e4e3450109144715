#pragma once
// Archives and answers the main window's tests need: H.264 archives made
// with ffmpeg's libx264 from its synthetic sources, archives of small JPEG
// key frames at chosen times (the player does not decode them, but plays,
// paces and seeks them), and a file dialog back end that answers for the
// user.
#include <QString>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/file_dialog.h"
#include "tests/support/test_support.h"

namespace app_test {

// `source` is an ffmpeg lavfi source ("testsrc2=size=352x288:rate=25",
// "color=c=0x3060a0:size=352x288:rate=25"); 25 frames a second, a key
// frame each second.  nullopt when ffmpeg fails.
std::optional<std::string> H264Archive(const testing_support::ScratchDir& dir, const std::string& name,
                                       const std::string& source, int frames);

// A flat width x height picture as a JPEG file.
std::vector<uint8_t> JpegPicture(int width, int height);

// One key frame of a width x height JPEG at each of the times (seconds
// after the first).
std::string JpegArchive(const testing_support::ScratchDir& dir, const std::string& name, int width,
                        int height, const std::vector<uint32_t>& seconds);
// Frames at 0, 1, ..., last seconds.
std::vector<uint32_t> EverySecond(uint32_t last);

// Answers file dialogs in turn with the queued names ("" cancels) and keeps
// the requests.
class ScriptedFileDialogs : public FileDialogBackend {
 public:
  void Answer(const QString& path) { answers_.push_back(path); }
  QString Ask(QWidget* parent, const FileDialogRequest& request) override;
  const std::vector<FileDialogRequest>& Requests() const { return requests_; }

 private:
  std::deque<QString> answers_;
  std::vector<FileDialogRequest> requests_;
};

// Installs a back end for the lifetime of the object.
using ScopedFileDialogs = ScopedFileDialogBackend;

}  // namespace app_test
