// The G.723 24 kbit/s decoder on payloads of any length, with output room
// from exact to too small, its state running on from piece to piece.
#include <memory>

#include "codecs/audio/g723_coder.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  codecs::audio::CG723Coder coder;
  while (!in.Empty()) {
    const uint16_t wanted = in.U16();
    const uint16_t room = in.U16();
    const auto bytes = in.Bytes(wanted);
    const int count = static_cast<int>(bytes.size());
    const int needed = coder.Decode(bytes.data(), count, nullptr, 0);
    // The room is the needed count, or whatever the input says.
    const int capacity = room & 0x8000 ? room & 0x7FFF : needed;
    auto out = std::make_unique<int16_t[]>(static_cast<size_t>(capacity > 0 ? capacity : 1));
    const int decoded = coder.Decode(bytes.data(), count, out.get(), capacity);
    if (decoded > capacity) __builtin_trap();
  }
  return 0;
}
