#pragma once
// A wave output device over a PCM sink: a worker thread of its own plays
// the written buffers in order, in pieces of about 20 ms so that a reset
// is served within one piece, and posts MM_WOM_DONE for each one.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/pcm_sink.h"
#include "platform/wave_out.h"

namespace platform {

class StreamedWaveOut : public WaveOut {
 public:
  StreamedWaveOut(const WAVEFORMATEX& format, std::unique_ptr<PcmSink> sink,
                  MessageTargetPtr doneTarget);
  // Ends the worker; buffers still out are abandoned without a message.
  ~StreamedWaveOut() override;
  StreamedWaveOut(const StreamedWaveOut&) = delete;
  StreamedWaveOut& operator=(const StreamedWaveOut&) = delete;

  WaveResult Prepare(WAVEHDR& header) override;
  WaveResult Unprepare(WAVEHDR& header) override;
  WaveResult Write(WAVEHDR& header) override;
  // Returns once every buffer that was out has been handed back.
  WaveResult Reset() override;
  WaveResult Close() override;

 private:
  using Lock = std::unique_lock<std::mutex>;

  void Worker();
  void HandBackLocked(WAVEHDR& header);
  void EndWorker();

  std::unique_ptr<PcmSink> sink_;
  MessageTargetPtr doneTarget_;
  uint32_t bytesPerSecond_;
  size_t pieceBytes_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WAVEHDR*> queue_;  // the front one is being played
  bool resetRequested_ = false;
  bool closing_ = false;
  bool closed_ = false;
  std::thread worker_;
};

}  // namespace platform
