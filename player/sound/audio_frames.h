#pragma once
// The video box's sound: turns the archive's audio frames into 16-bit mono
// PCM at 8000 samples per second, queues it, and feeds the sound output
// from the queue.  The play thread calls PlayAudioFrame and StopAudio; the
// sound output's thread takes finished buffers through SoundFillCallback.
//
// Voice units fill nodes of three units, IMA ADPCM blocks nodes of two;
// only full nodes are handed to the output, and the output starts once
// enough are queued.  G.723 payloads make nodes of their own.  One lock
// guards the queue, its counts and the sub-buffer index.
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "codecs/audio/adpcm.h"
#include "codecs/audio/g723_coder.h"
#include "codecs/audio/qx_voice.h"
#include "player/archive/vyx_parser.h"
#include "player/sound/pcm_buffer.h"
#include "player/sound/sound_out.h"

class CQxAudioFrames {
 public:
  static constexpr int32_t kVoiceUnitBytes = 320;       // µ-law codes per unit
  static constexpr int32_t kVoiceUnitPcmBytes = 640;
  static constexpr int32_t kVoiceUnitsPerNode = 3;
  static constexpr int32_t kAdpcmBlockPcmBytes =
      static_cast<int32_t>(codecs::audio::CAdpcm::kSamplesPerBlock * 2);
  static constexpr int32_t kAdpcmBlocksPerNode = 2;
  static constexpr int32_t kOutputBufferSamples = 8000;
  // A G.723 node holds at most one output buffer: 8000 samples from 3000
  // payload bytes (eight 3-bit codes in every three bytes).
  static constexpr int32_t kG723PayloadPerNode = kOutputBufferSamples * 3 / 8;
  static constexpr int32_t kVoiceAccumulatorBytes = 102400;
  // About ten seconds; beyond it the oldest sound goes.
  static constexpr int32_t kQueueLimitBytes = 10 * 8000 * 2;

  // Full nodes that start the output, by coding.
  static constexpr std::array<int32_t, 3> kStartThreshold = {3, 2, 2};

  CQxAudioFrames();
  // Stops the output before the queue goes.
  ~CQxAudioFrames();
  CQxAudioFrames(const CQxAudioFrames&) = delete;
  CQxAudioFrames& operator=(const CQxAudioFrames&) = delete;

  // The output's format and callback, a fresh voice decoder, an empty
  // queue.  The constructor calls it.
  void InitSound();
  // Types 147 (voice), 145 (IMA ADPCM), 132 and 146 (G.723); others are
  // ignored.
  void PlayAudioFrame(const VyxFrame& frame);
  static int SoundFillCallback(CBuffer* buffer, void* box);
  // The oldest full node into `buffer` (size 0 when there is none).
  void PopAudioBuffer(CBuffer* buffer);
  void ClearAudioQueue();
  // At the end of the archive: the voice bytes short of a unit (padded
  // with silence) and the partly filled tail are queued whole, and the
  // output starts for whatever the queue holds.
  void DrainAudio();
  // True while the output plays and the queue or the output still hold
  // sound to be heard.
  bool IsSoundPending() const;
  // The sound side of stopping: the output stops and the queue empties.
  // The owner closes its video decoder and forgets the picture size itself.
  void StopAudio();

  int32_t GetFullBufferCount() const;
  int32_t GetSubBufferIndex() const;
  CSoundOut& GetSoundOut() { return soundOut_; }

 private:
  void PlayVoice(const uint8_t* payload, size_t bytes);
  void DecodeVoiceUnit(const uint8_t* codes);
  void PlayAdpcm(const uint8_t* payload, size_t bytes);
  void PlayG723(const uint8_t* payload, size_t bytes);
  // Puts one decoded unit into the tail node, opening a node when needed;
  // true when the coding's start threshold is reached.
  bool PlaceUnit(PcmCoding coding, const uint8_t* pcm, int32_t pcmBytes, int32_t unitBytes,
                 int32_t unitsPerNode);
  bool AppendWholeNode(std::unique_ptr<PcmBuffer> node);
  void CloseTailLocked();
  void AppendNodeLocked(std::unique_ptr<PcmBuffer> node);
  void PopHeadLocked();
  bool ThresholdReachedLocked(PcmCoding coding) const;

  codecs::audio::CG723Coder g723_;
  codecs::audio::CAdpcm adpcm_;

  mutable std::mutex queueMutex_;
  std::unique_ptr<PcmBuffer> head_;
  PcmBuffer* tail_ = nullptr;
  int32_t fullBuffers_ = 0;
  int32_t subBufferIndex_ = 0;  // units already in a partly filled tail
  int32_t queuedBytes_ = 0;

  // The play thread's alone.
  QxVoiceState voiceState_{};
  std::vector<uint8_t> voiceAccumulator_;
  size_t voiceAccumulated_ = 0;
  std::vector<int16_t> g723Pcm_;

  // Last, so that it is destroyed first: its thread must be gone before
  // the queue it reads.
  CSoundOut soundOut_;
};
