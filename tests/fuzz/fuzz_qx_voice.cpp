// The voice library through its C interface, every buffer exactly as large
// as the header documents, so that any access beyond is a report.
#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/audio/qx_voice.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The decoder reads no more than 2 + L words: the frame gets exactly that
// room (at least the two header words).
void Decode(QxVoiceState* state, std::vector<uint8_t> given) {
  if (given.size() < 4) given.resize(4);
  const size_t length = size_t{uint16_t(given[2] | given[3] << 8)};
  const size_t room = 4 + 2 * length;
  auto frame = std::make_unique<uint8_t[]>(room);
  std::memset(frame.get(), 0, room);
  std::copy_n(given.begin(), std::min(room, given.size()), frame.get());
  auto pcm = std::make_unique<int16_t[]>(QX_VOICE_MAX_SAMPLES);
  uint16_t count = 0xFFFF;
  const uint32_t result = QX_VOICE_DecodeFrame(state, frame.get(), pcm.get(), &count);
  Check(count <= QX_VOICE_MAX_SAMPLES);
  Check(result == QX_VOICE_OK || count == 0);
}

void Encode(QxVoiceState* state, fuzz::InputReader& in) {
  const auto count = static_cast<int16_t>(in.U16());
  // A refused count must not be read: the buffer holds what a valid one needs.
  const size_t samples = count >= 1 && count <= QX_VOICE_MAX_SAMPLES ? static_cast<size_t>(count) : 1;
  auto pcm = std::make_unique<int16_t[]>(samples);
  for (size_t i = 0; i < samples; ++i) pcm[i] = static_cast<int16_t>(in.U16());
  auto frame = std::make_unique<uint8_t[]>(QX_VOICE_FRAME_CAPACITY);
  if (QX_VOICE_EncodeFrame(state, pcm.get(), frame.get(), count) == QX_VOICE_OK)
    Check(4 + 2 * size_t{frame[2]} <= QX_VOICE_FRAME_CAPACITY);
}

void TransCode(QxVoiceState* state, const std::vector<uint8_t>& given) {
  auto frame = std::make_unique<uint8_t[]>(QX_VOICE_FRAME_CAPACITY);
  std::memset(frame.get(), 0, QX_VOICE_FRAME_CAPACITY);
  std::copy_n(given.begin(), std::min<size_t>(QX_VOICE_FRAME_CAPACITY, given.size()), frame.get());
  QX_VOICE_TransCodeFrame(state, frame.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  auto state = std::make_unique<QxVoiceState>();
  std::memset(state.get(), 0, sizeof(QxVoiceState));
  while (!in.Empty()) {
    switch (in.U8() % fuzz::kVoiceOperations) {
      case fuzz::kVoiceEncReset:
        QX_VOICE_EncReset(state.get(), in.U16());
        break;
      case fuzz::kVoiceDecReset:
        QX_VOICE_DecReset(state.get(), in.U16());
        break;
      case fuzz::kVoiceTransReset:
        QX_VOICE_TransCodeReset(state.get(), static_cast<int16_t>(in.U16()));
        break;
      case fuzz::kVoiceEncode:
        Encode(state.get(), in);
        break;
      case fuzz::kVoiceDecode:
        Decode(state.get(), in.Bytes(in.U16()));
        break;
      case fuzz::kVoiceTransCode:
        TransCode(state.get(), in.Bytes(in.U16()));
        break;
      case fuzz::kVoiceVersion: {
        auto version = std::make_unique<char[]>(QX_VOICE_VERSION_SIZE);
        Check(QX_VOICE_GetVersion(version.get()) == QX_VOICE_OK);
        break;
      }
    }
  }
  return 0;
}
