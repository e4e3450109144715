// The video box's sound path on any audio record: voice, IMA ADPCM and
// G.723 payloads of any length (and a header length that may disagree)
// decoded into the queue, which the output drains now and then.
#include "platform/wave_out.h"
#include "player/sound/audio_frames.h"
#include "player/sound/sound_buffer.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// No device: the queue fills and drains through PopAudioBuffer alone,
// without an output thread playing in real time.
class NoDevice : public platform::WaveOutBackend {
 public:
  platform::WaveResult Open(const platform::WAVEFORMATEX&, platform::MessageTargetPtr,
                            std::unique_ptr<platform::WaveOut>&) override {
    return platform::WaveResult::NoDevice;
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::SetWaveOutBackend(std::make_shared<NoDevice>());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  CQxAudioFrames audio;
  CBuffer output(CQxAudioFrames::kOutputBufferSamples * 2);
  while (!in.Empty()) {
    VyxFrame frame{};
    frame.index.header.type = fuzz::kAudioTypes[in.U8() % std::size(fuzz::kAudioTypes)];
    frame.index.header.length = in.U32();
    frame.payload = in.Bytes(in.U16());
    audio.PlayAudioFrame(frame);
    if (in.U8() & 1) audio.PopAudioBuffer(&output);
  }
  audio.StopAudio();
  return 0;
}
