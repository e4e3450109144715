#include "player/sound/audio_frames.h"

#include <algorithm>
#include <cstring>

#include "platform/trace.h"
#include "player/archive/vyx_format.h"

namespace {

// The voice library's frame header: marker 0x0100, then 160 payload words.
constexpr uint32_t kVoiceUnitHeader = 0x00A00100u;
constexpr uint16_t kVoiceCodingUlaw = QX_VOICE_G711_ULAW;
constexpr uint8_t kUlawSilence = 0xFF;

size_t CodingIndex(PcmCoding coding) { return static_cast<size_t>(coding); }

}  // namespace

CQxAudioFrames::CQxAudioFrames()
    : voiceAccumulator_(kVoiceAccumulatorBytes), g723Pcm_(kOutputBufferSamples) {
  InitSound();
}

CQxAudioFrames::~CQxAudioFrames() {
  soundOut_.stop();
  ClearAudioQueue();
}

void CQxAudioFrames::InitSound() {
  soundOut_.SetBitsPerSample(16);
  soundOut_.SetNumberOfChannels(1);
  soundOut_.SetSamplesPerSecond(8000);
  soundOut_.SetBufferSize(kOutputBufferSamples);
  soundOut_.SetCallback(&CQxAudioFrames::SoundFillCallback, this);
  QX_VOICE_DecReset(&voiceState_, kVoiceCodingUlaw);
  voiceAccumulated_ = 0;
  ClearAudioQueue();
}

void CQxAudioFrames::PlayAudioFrame(const VyxFrame& frame) {
  const size_t bytes = std::min<size_t>(frame.index.header.length, frame.payload.size());
  const uint8_t* payload = frame.payload.data();
  switch (FrameTypeOf(frame.index.header.type).playback) {
    case FramePlayback::kVoice:
      PlayVoice(payload, bytes);
      break;
    case FramePlayback::kAdpcm:
      PlayAdpcm(payload, bytes);
      break;
    case FramePlayback::kG723:
      PlayG723(payload, bytes);
      break;
    default:
      break;
  }
}

void CQxAudioFrames::PlayVoice(const uint8_t* payload, size_t bytes) {
  // A payload larger than the accumulator's room goes in by pieces; each
  // piece's whole units are decoded before the next comes in.
  size_t taken = 0;
  while (taken < bytes) {
    const size_t piece = std::min(bytes - taken, voiceAccumulator_.size() - voiceAccumulated_);
    std::memcpy(voiceAccumulator_.data() + voiceAccumulated_, payload + taken, piece);
    voiceAccumulated_ += piece;
    taken += piece;
    size_t unit = 0;
    for (; unit + kVoiceUnitBytes <= voiceAccumulated_; unit += kVoiceUnitBytes) {
      DecodeVoiceUnit(voiceAccumulator_.data() + unit);
    }
    std::memmove(voiceAccumulator_.data(), voiceAccumulator_.data() + unit,
                 voiceAccumulated_ - unit);
    voiceAccumulated_ -= unit;
  }
}

void CQxAudioFrames::DecodeVoiceUnit(const uint8_t* codes) {
  uint8_t unit[sizeof(kVoiceUnitHeader) + kVoiceUnitBytes];
  std::memcpy(unit, &kVoiceUnitHeader, sizeof kVoiceUnitHeader);
  std::memcpy(unit + sizeof kVoiceUnitHeader, codes, kVoiceUnitBytes);
  // The library may write up to its largest frame; the node takes one unit.
  int16_t pcm[QX_VOICE_MAX_SAMPLES] = {};
  uint16_t samples = 0;
  const uint32_t result = QX_VOICE_DecodeFrame(&voiceState_, unit, pcm, &samples);
  if (result != QX_VOICE_OK) {
    platform::Trace("QX_VOICE_DecodeFrame return nRet = %d \n", static_cast<int>(result));
    samples = 0;
  }
  const int32_t pcmBytes =
      std::min<int32_t>(samples * int32_t{sizeof(int16_t)}, kVoiceUnitPcmBytes);
  if (PlaceUnit(PcmCoding::Voice, reinterpret_cast<const uint8_t*>(pcm), pcmBytes,
                kVoiceUnitPcmBytes, kVoiceUnitsPerNode)) {
    soundOut_.start();
  }
}

void CQxAudioFrames::PlayAdpcm(const uint8_t* payload, size_t bytes) {
  using codecs::audio::CAdpcm;
  const size_t blocks = bytes / CAdpcm::kBlockBytes;
  for (size_t k = 0; k < blocks; ++k) {
    int16_t pcm[CAdpcm::kSamplesPerBlock];
    adpcm_.Decode(std::span<const uint8_t, CAdpcm::kBlockBytes>(payload + k * CAdpcm::kBlockBytes,
                                                                CAdpcm::kBlockBytes),
                  std::span<int16_t, CAdpcm::kSamplesPerBlock>(pcm));
    if (PlaceUnit(PcmCoding::Adpcm, reinterpret_cast<const uint8_t*>(pcm), kAdpcmBlockPcmBytes,
                  kAdpcmBlockPcmBytes, kAdpcmBlocksPerNode)) {
      soundOut_.start();
    }
  }
}

void CQxAudioFrames::PlayG723(const uint8_t* payload, size_t bytes) {
  // Pieces of whole code groups decode exactly as the payload in one go:
  // the decoder's state runs on from piece to piece.
  bool start = false;
  for (size_t taken = 0; taken < bytes;) {
    const int piece = static_cast<int>(std::min<size_t>(bytes - taken, kG723PayloadPerNode));
    const int32_t samples = piece * 8 / 3;
    if (samples > 0) {
      auto node = std::make_unique<PcmBuffer>(samples * int32_t{sizeof(int16_t)}, PcmCoding::G723);
      const int decoded = g723_.Decode(payload + taken, piece, g723Pcm_.data(),
                                       static_cast<int>(g723Pcm_.size()));
      if (decoded > 0) {
        std::memcpy(node->data.get(), g723Pcm_.data(),
                    static_cast<size_t>(std::min(decoded, samples)) * sizeof(int16_t));
      }
      node->size = node->capacity;
      start = AppendWholeNode(std::move(node)) || start;
    }
    taken += static_cast<size_t>(piece);
  }
  if (start) soundOut_.start();
}

bool CQxAudioFrames::PlaceUnit(PcmCoding coding, const uint8_t* pcm, int32_t pcmBytes,
                               int32_t unitBytes, int32_t unitsPerNode) {
  std::lock_guard lock(queueMutex_);
  if (subBufferIndex_ > 0 && tail_->coding != coding) CloseTailLocked();
  if (subBufferIndex_ == 0) {
    AppendNodeLocked(std::make_unique<PcmBuffer>(unitBytes * unitsPerNode, coding));
  }
  std::memcpy(tail_->data.get() + subBufferIndex_ * unitBytes, pcm,
              static_cast<size_t>(std::min(pcmBytes, unitBytes)));
  tail_->size = (subBufferIndex_ + 1) * unitBytes;
  if (++subBufferIndex_ == unitsPerNode) {
    subBufferIndex_ = 0;
    ++fullBuffers_;
  }
  return ThresholdReachedLocked(coding);
}

bool CQxAudioFrames::AppendWholeNode(std::unique_ptr<PcmBuffer> node) {
  std::lock_guard lock(queueMutex_);
  const PcmCoding coding = node->coding;
  if (subBufferIndex_ > 0) CloseTailLocked();
  AppendNodeLocked(std::move(node));
  ++fullBuffers_;
  return ThresholdReachedLocked(coding);
}

void CQxAudioFrames::CloseTailLocked() {
  // The tail's size already counts only the units written into it.
  subBufferIndex_ = 0;
  ++fullBuffers_;
}

void CQxAudioFrames::AppendNodeLocked(std::unique_ptr<PcmBuffer> node) {
  queuedBytes_ += node->capacity;
  PcmBuffer* added = node.get();
  if (tail_) {
    tail_->next = std::move(node);
  } else {
    head_ = std::move(node);
  }
  tail_ = added;
  // Without an output running nothing takes the queue: keep the newest.
  while (queuedBytes_ > kQueueLimitBytes && fullBuffers_ > 0) PopHeadLocked();
}

void CQxAudioFrames::PopHeadLocked() {
  std::unique_ptr<PcmBuffer> old = std::move(head_);
  head_ = std::move(old->next);
  if (!head_) tail_ = nullptr;
  queuedBytes_ -= old->capacity;
  --fullBuffers_;
}

bool CQxAudioFrames::ThresholdReachedLocked(PcmCoding coding) const {
  return fullBuffers_ >= kStartThreshold[CodingIndex(coding)];
}

int CQxAudioFrames::SoundFillCallback(CBuffer* buffer, void* box) {
  static_cast<CQxAudioFrames*>(box)->PopAudioBuffer(buffer);
  return 1;
}

void CQxAudioFrames::PopAudioBuffer(CBuffer* buffer) {
  std::lock_guard lock(queueMutex_);
  if (fullBuffers_ == 0 || !head_) {
    buffer->SetSize(0);
    return;
  }
  const int32_t bytes = std::min(head_->size, buffer->Capacity());
  std::memcpy(buffer->Data(), head_->data.get(), static_cast<size_t>(bytes));
  buffer->SetSize(bytes);
  PopHeadLocked();
}

void CQxAudioFrames::ClearAudioQueue() {
  std::lock_guard lock(queueMutex_);
  // One node at a time: a long chain must not unwind recursively.
  while (head_) head_ = std::move(head_->next);
  tail_ = nullptr;
  fullBuffers_ = 0;
  queuedBytes_ = 0;
  // A partly filled tail went with the queue.
  subBufferIndex_ = 0;
}

void CQxAudioFrames::DrainAudio() {
  if (voiceAccumulated_ > 0) {
    std::fill(voiceAccumulator_.begin() + static_cast<ptrdiff_t>(voiceAccumulated_),
              voiceAccumulator_.begin() + kVoiceUnitBytes, kUlawSilence);
    voiceAccumulated_ = 0;
    DecodeVoiceUnit(voiceAccumulator_.data());
  }
  bool queued;
  {
    std::lock_guard lock(queueMutex_);
    if (subBufferIndex_ > 0) CloseTailLocked();
    queued = fullBuffers_ > 0;
  }
  if (queued) soundOut_.start();
}

bool CQxAudioFrames::IsSoundPending() const {
  if (!soundOut_.IsPlaying()) return false;  // nothing will take the queue
  {
    std::lock_guard lock(queueMutex_);
    if (fullBuffers_ > 0) return true;
  }
  return soundOut_.IsSoundUnheard();
}

void CQxAudioFrames::StopAudio() {
  soundOut_.stop();
  ClearAudioQueue();
}

int32_t CQxAudioFrames::GetFullBufferCount() const {
  std::lock_guard lock(queueMutex_);
  return fullBuffers_;
}

int32_t CQxAudioFrames::GetSubBufferIndex() const {
  std::lock_guard lock(queueMutex_);
  return subBufferIndex_;
}
