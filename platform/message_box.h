#pragma once
// Message boxes for errors the user must see.  ShowMessageBox may be called
// from any thread and never waits for the user: the back end shows the text
// on the user-interface thread.  Without a back end the text goes to stderr.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend_slot.h"

namespace platform {

class MessageBoxBackend {
 public:
  virtual ~MessageBoxBackend() = default;
  virtual void Show(const std::string& text) = 0;
  // A box with its own caption and the stop icon; plain by default.
  virtual void ShowError(const std::string& caption, const std::string& text) {
    (void)caption;
    Show(text);
  }
};

void ShowMessageBox(const std::string& text);
// For faults of the program itself (a resource that cannot be loaded):
// the caption names the part that failed.
void ShowErrorBox(const std::string& caption, const std::string& text);

// Installs a back end (null: back to stderr) and returns the one it replaces.
inline std::shared_ptr<MessageBoxBackend> SetMessageBoxBackend(
    std::shared_ptr<MessageBoxBackend> backend) {
  return BackendSlot<MessageBoxBackend>::Set(std::move(backend));
}

class RecordingMessageBoxes : public MessageBoxBackend {
 public:
  void Show(const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;
  std::vector<std::string> Texts() const;
  // One per text: the caption of an error box, empty for a plain one.
  std::vector<std::string> Captions() const;
  std::optional<std::string> WaitForText(std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable shown_;
  std::vector<std::string> texts_;
  std::vector<std::string> captions_;
};

// Installs a back end for the lifetime of the object.
using ScopedMessageBoxBackend = ScopedBackend<MessageBoxBackend>;

}  // namespace platform
