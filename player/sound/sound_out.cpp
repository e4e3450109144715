#include "player/sound/sound_out.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/thread_priority.h"

namespace {

// 12 ms at 8000 samples per second of 16 bits.
constexpr int32_t kSilenceBytes = 192;
constexpr int kCirculatingBuffers = 3;

}  // namespace

CSoundOut::CSoundOut()
    : messages_(std::make_shared<platform::ThreadMessageQueue>()), thread_([this] { Run(); }) {}

CSoundOut::~CSoundOut() {
  stop();
  {
    std::lock_guard lock(mutex_);
    user_ = nullptr;
  }
  // The messages of the stop come before the quit, so the buffers are back
  // and the device closed by the time the thread ends, unless the device
  // kept some; those are abandoned with it.
  messages_->PostQuit();
  thread_.join();
  std::lock_guard lock(mutex_);
  if (device_) {
    device_->Reset();
    CloseDeviceLocked();
  }
}

void CSoundOut::InitInstance() { platform::RaiseCurrentThreadPriority(); }

void CSoundOut::Run() {
  InitInstance();
  while (auto message = messages_->Get()) {
    if (message->message == platform::MM_WOM_DONE) {
      OnWOM_DONE(message->wParam, reinterpret_cast<platform::WAVEHDR*>(message->lParam));
    }
  }
}

void CSoundOut::SetCallback(FillCallback callback, void* user) {
  std::lock_guard lock(mutex_);
  callback_ = callback;
  user_ = user;
}

bool CSoundOut::IsPlaying() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

bool CSoundOut::IsDeviceOpen() const {
  std::lock_guard lock(mutex_);
  return device_ != nullptr;
}

bool CSoundOut::IsSoundUnheard() const {
  std::lock_guard lock(mutex_);
  const uint64_t heardAfter = uint64_t{GetFormat().avgBytesPerSec} * kHeardAfterMs / 1000;
  return soundBuffersOut_ > 0 || silenceSinceSound_ < heardAfter;
}

int32_t CSoundOut::GetBuffersOut() const {
  std::lock_guard lock(mutex_);
  return buffersOut_;
}

bool CSoundOut::start(const platform::WAVEFORMATEX* format) {
  std::lock_guard lock(mutex_);
  if (playing_ || !callback_ || !user_) return false;
  // Still draining from a stop: a second device would leave the first open.
  if (device_ || buffersOut_ > 0) return false;
  if (format) SetFormat(*format);
  const uint64_t capacity = uint64_t{GetFormat().blockAlign} * GetBufferSize();
  if (capacity == 0 || capacity > uint64_t{std::numeric_limits<int32_t>::max()}) return false;
  if (platform::WaveOutOpen(device_, GetFormat(), messages_) != platform::WaveResult::Ok) {
    device_.reset();
    return false;
  }
  playing_ = true;
  soundBuffersOut_ = 0;
  silenceSinceSound_ = std::numeric_limits<uint64_t>::max();  // none played yet
  for (int i = 0; i < kCirculatingBuffers; ++i) {
    auto buffer = std::make_unique<OutputBuffer>(static_cast<int32_t>(capacity));
    if (!buffer->buffer.Data()) continue;
    callback_(&buffer->buffer, user_);
    buffer->carriesSound = buffer->buffer.Size() > 0;
    buffers_.push_back(std::move(buffer));
    AddOutputBufferToQueue(*buffers_.back());
  }
  return true;
}

void CSoundOut::stop() {
  std::lock_guard lock(mutex_);
  if (!playing_) return;
  playing_ = false;
  device_->Reset();
  // Nothing out means no message will come back to close the device.
  if (buffersOut_ == 0) CloseDeviceLocked();
}

void CSoundOut::Refill(OutputBuffer& buffer) {
  buffer.buffer.SetSize(static_cast<int32_t>(buffer.header.bufferLength));
  callback_(&buffer.buffer, user_);
  buffer.carriesSound = buffer.buffer.Size() > 0;
  if (!buffer.carriesSound) {
    // Silence written behind sound still out would cut into it: the
    // buffer waits for the owner's next sound instead, and only a device
    // that would otherwise run dry gets silence.
    if (soundBuffersOut_ > 0) {
      held_.push_back(&buffer);
      return;
    }
    const int32_t silence = std::min(kSilenceBytes, buffer.buffer.Capacity());
    std::memset(buffer.buffer.Data(), 0, static_cast<size_t>(silence));
    buffer.buffer.SetSize(silence);
  }
  AddOutputBufferToQueue(buffer);
}

void CSoundOut::OnWOM_DONE(uintptr_t device, platform::WAVEHDR* header) {
  std::lock_guard lock(mutex_);
  // Messages of a device that was given up on, or of buffers gone with it.
  if (!device_ || device != reinterpret_cast<uintptr_t>(device_.get())) return;
  auto it = std::find_if(buffers_.begin(), buffers_.end(),
                         [&](const auto& buffer) { return &buffer->header == header; });
  if (it == buffers_.end()) return;
  if (device_->Unprepare(*header) != platform::WaveResult::Ok) return;
  --buffersOut_;
  OutputBuffer& buffer = **it;
  if (buffer.carriesSound) {
    --soundBuffersOut_;
    silenceSinceSound_ = 0;
  } else if (silenceSinceSound_ != std::numeric_limits<uint64_t>::max()) {
    silenceSinceSound_ += header->bufferLength;
  }
  if (playing_) {
    // The buffers held longest first: they play before this one.
    std::vector<OutputBuffer*> held;
    held.swap(held_);
    for (OutputBuffer* waiting : held) Refill(*waiting);
    Refill(buffer);
    return;
  }
  Drop(buffer);
  if (buffersOut_ == 0) CloseDeviceLocked();
}

int32_t CSoundOut::AddOutputBufferToQueue(OutputBuffer& buffer) {
  platform::WAVEHDR& header = buffer.header;
  header = {};
  header.data = buffer.buffer.Data();
  header.bufferLength = static_cast<uint32_t>(buffer.buffer.Size());
  header.user = &buffer;
  if (device_->Prepare(header) != platform::WaveResult::Ok) {
    Drop(buffer);
    return buffersOut_;
  }
  // A buffer the device did not take never comes back: counting it as out
  // would keep the device open for ever.
  if (device_->Write(header) != platform::WaveResult::Ok) {
    device_->Unprepare(header);
    Drop(buffer);
    return buffersOut_;
  }
  if (buffer.carriesSound) ++soundBuffersOut_;
  return buffersOut_++;
}

void CSoundOut::Drop(const OutputBuffer& buffer) {
  std::erase(held_, &buffer);
  std::erase_if(buffers_, [&](const auto& owned) { return owned.get() == &buffer; });
}

void CSoundOut::CloseDeviceLocked() {
  // A failed close still lets the device go.
  device_->Close();
  device_.reset();
  held_.clear();
  buffers_.clear();
}
