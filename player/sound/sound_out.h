#pragma once
// Plays PCM from a thread of its own.  It holds no sound: it asks its owner
// for each buffer's contents through the fill callback, three buffers when
// it starts and one more every time the device hands a buffer back, so
// that three buffers circulate while it plays.  When the owner has nothing
// and other buffers with sound are still out, the buffer waits for the next
// completion to ask again; when none is, it carries 12 ms of silence.
//
// start and stop run on the owner's thread, the fill callback on the
// output's thread; one lock guards the state they share, and the callback
// runs under it (so it must not call start or stop).
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread_message_queue.h"
#include "platform/wave_out.h"
#include "player/sound/sound_base.h"
#include "player/sound/sound_buffer.h"

class CSoundOut : public CSoundBase {
 public:
  // Fills `buffer`: at most its capacity in bytes of PCM, and its size set
  // to the bytes written, 0 when there is nothing.  On entry the size is
  // the length last played from this buffer.  The result is not used.
  using FillCallback = int (*)(CBuffer* buffer, void* user);

  // The output's thread runs from here to the destructor.
  CSoundOut();
  // Stops, then ends the thread and waits for it.
  ~CSoundOut() override;
  CSoundOut(const CSoundOut&) = delete;
  CSoundOut& operator=(const CSoundOut&) = delete;

  void SetCallback(FillCallback callback, void* user);

  // Opens the device and queues the first three buffers.  False, with
  // nothing opened, without a callback or user pointer, while playing, and
  // while a stopped output still waits for buffers to come back; false too
  // when the device does not open.  `format` replaces the format first.
  virtual bool start(const platform::WAVEFORMATEX* format = nullptr);
  // Hands every buffer back at once; the device closes when the last one
  // is back.
  virtual void stop();

  bool IsPlaying() const;
  // True while a buffer the owner filled is out, and for kHeardAfterMs of
  // silence played after the last one came back: a device may hand a
  // buffer back before it is heard (a sound server holds about 100 ms).
  bool IsSoundUnheard() const;
  static constexpr uint32_t kHeardAfterMs = 150;
  bool IsDeviceOpen() const;
  int32_t GetBuffersOut() const;

 private:
  struct OutputBuffer {
    explicit OutputBuffer(int32_t capacity) : buffer(capacity) {}
    CBuffer buffer;
    platform::WAVEHDR header;
    bool carriesSound = false;  // the owner's, not silence
  };

  void InitInstance();
  void Run();
  void OnWOM_DONE(uintptr_t device, platform::WAVEHDR* header);
  // Writes the buffer's filled bytes; returns the buffers out before it.
  // A buffer that cannot be written leaves the circulation.
  int32_t AddOutputBufferToQueue(OutputBuffer& buffer);
  // Fills a buffer that came back and writes it; holds it back while the
  // owner has nothing and sound is still out.
  void Refill(OutputBuffer& buffer);
  void Drop(const OutputBuffer& buffer);
  void CloseDeviceLocked();

  mutable std::mutex mutex_;
  FillCallback callback_ = nullptr;
  void* user_ = nullptr;
  bool playing_ = false;
  std::unique_ptr<platform::WaveOut> device_;
  int32_t buffersOut_ = 0;
  int32_t soundBuffersOut_ = 0;
  uint64_t silenceSinceSound_ = 0;  // bytes played since the last sound came back
  // Declared after the device, so that a device still open at the end is
  // gone before the memory it was given.
  std::vector<std::unique_ptr<OutputBuffer>> buffers_;
  std::vector<OutputBuffer*> held_;  // back, empty, waiting for sound
  std::shared_ptr<platform::ThreadMessageQueue> messages_;
  std::thread thread_;
};
