#include "platform/streamed_wave_out.h"

#include <algorithm>
#include <chrono>

namespace platform {
namespace {

// A reset waits for the piece being played: small pieces keep it short.
constexpr uint32_t kPiecesPerSecond = 50;

size_t PieceBytes(const WAVEFORMATEX& format) {
  const size_t align = std::max<size_t>(format.blockAlign, 1);
  const size_t bytes = format.avgBytesPerSec / kPiecesPerSecond;
  return std::max(align, bytes - bytes % align);
}

}  // namespace

StreamedWaveOut::StreamedWaveOut(const WAVEFORMATEX& format, std::unique_ptr<PcmSink> sink,
                                 MessageTargetPtr doneTarget)
    : sink_(std::move(sink)),
      doneTarget_(std::move(doneTarget)),
      bytesPerSecond_(format.avgBytesPerSec),
      pieceBytes_(PieceBytes(format)),
      worker_([this] { Worker(); }) {}

StreamedWaveOut::~StreamedWaveOut() { EndWorker(); }

void StreamedWaveOut::EndWorker() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

WaveResult StreamedWaveOut::Prepare(WAVEHDR& header) {
  std::lock_guard lock(mutex_);
  if (closed_) return WaveResult::InvalidParameter;
  if (header.flags & kWaveHeaderInQueue) return WaveResult::StillPlaying;
  header.flags |= kWaveHeaderPrepared;
  return WaveResult::Ok;
}

WaveResult StreamedWaveOut::Unprepare(WAVEHDR& header) {
  std::lock_guard lock(mutex_);
  if (closed_) return WaveResult::InvalidParameter;
  if (header.flags & kWaveHeaderInQueue) return WaveResult::StillPlaying;
  header.flags &= ~kWaveHeaderPrepared;
  return WaveResult::Ok;
}

WaveResult StreamedWaveOut::Write(WAVEHDR& header) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return WaveResult::InvalidParameter;
    if (!(header.flags & kWaveHeaderPrepared)) return WaveResult::Unprepared;
    if (header.flags & kWaveHeaderInQueue) return WaveResult::StillPlaying;
    if (header.data == nullptr && header.bufferLength != 0) return WaveResult::InvalidParameter;
    header.flags = (header.flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    queue_.push_back(&header);
  }
  changed_.notify_all();
  return WaveResult::Ok;
}

WaveResult StreamedWaveOut::Reset() {
  Lock lock(mutex_);
  if (closed_) return WaveResult::InvalidParameter;
  if (queue_.empty()) return WaveResult::Ok;
  resetRequested_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] { return !resetRequested_; });
  return WaveResult::Ok;
}

WaveResult StreamedWaveOut::Close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return WaveResult::InvalidParameter;
    if (!queue_.empty()) return WaveResult::StillPlaying;
    closed_ = true;
  }
  EndWorker();
  return WaveResult::Ok;
}

void StreamedWaveOut::HandBackLocked(WAVEHDR& header) {
  header.flags = (header.flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  doneTarget_->Post(MM_WOM_DONE, reinterpret_cast<uintptr_t>(this),
                    reinterpret_cast<intptr_t>(&header));
}

void StreamedWaveOut::Worker() {
  Lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return closing_ || resetRequested_ || !queue_.empty(); });
    if (closing_) return;
    if (!queue_.empty() && !resetRequested_) {
      WAVEHDR& header = *queue_.front();
      // The header's data does not change while it is out, so it is read
      // without the lock; only the queue needs it.
      size_t played = 0;
      while (played < header.bufferLength && !resetRequested_ && !closing_) {
        const size_t piece = std::min<size_t>(pieceBytes_, header.bufferLength - played);
        lock.unlock();
        if (!sink_->Play(header.data + played, piece)) {
          // A sink that fails (a server gone away) returns at once: keep
          // the pace, or the owner would refill buffers as fast as it can.
          std::this_thread::sleep_for(std::chrono::duration<double>(
              static_cast<double>(piece) / std::max<uint32_t>(bytesPerSecond_, 1)));
        }
        lock.lock();
        played += piece;
      }
      if (closing_) return;
      if (!resetRequested_) {
        queue_.pop_front();
        HandBackLocked(header);
        if (queue_.empty()) sink_->RanDry();
      }
    }
    if (resetRequested_) {
      sink_->Discard();
      for (WAVEHDR* header : queue_) HandBackLocked(*header);
      queue_.clear();
      resetRequested_ = false;
      changed_.notify_all();
    }
  }
}

}  // namespace platform
