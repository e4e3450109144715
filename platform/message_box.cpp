#include "platform/message_box.h"

#include <cstdio>

#include "platform/trace.h"

namespace platform {
void ShowMessageBox(const std::string& text) {
  const std::shared_ptr<MessageBoxBackend> backend = BackendSlot<MessageBoxBackend>::Current();
  Trace("Message box: %s\n", text.c_str());
  if (backend) {
    backend->Show(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

void ShowErrorBox(const std::string& caption, const std::string& text) {
  const std::shared_ptr<MessageBoxBackend> backend = BackendSlot<MessageBoxBackend>::Current();
  Trace("Message box %s: %s\n", caption.c_str(), text.c_str());
  if (backend) {
    backend->ShowError(caption, text);
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
}

void RecordingMessageBoxes::Show(const std::string& text) { ShowError("", text); }

void RecordingMessageBoxes::ShowError(const std::string& caption, const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
    captions_.push_back(caption);
  }
  shown_.notify_all();
}

std::vector<std::string> RecordingMessageBoxes::Captions() const {
  std::lock_guard lock(mutex_);
  return captions_;
}

std::vector<std::string> RecordingMessageBoxes::Texts() const {
  std::lock_guard lock(mutex_);
  return texts_;
}

std::optional<std::string> RecordingMessageBoxes::WaitForText(
    std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  if (!shown_.wait_for(lock, timeout, [&] { return !texts_.empty(); })) return std::nullopt;
  return texts_.front();
}

}  // namespace platform
