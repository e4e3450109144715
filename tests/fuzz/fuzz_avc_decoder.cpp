// The program's own H.264 decoder on any byte stream: a decoder of a size
// the input chooses, fed the stream in pieces the input cuts, each picture
// it returns read whole.
#include <cstdint>
#include <vector>

#include "codecs/h264/avc_decoder.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// Touches every sample of the picture's planes, so that a picture pointing
// outside the decoder's frame store shows up under the sanitizer.
uint32_t Sum(const AvcDecPicture& p) {
  uint32_t sum = 0;
  // A field lies in its frame: twice its height.
  const int32_t height = p.height * (p.fieldPicture ? 2 : 1);
  for (int32_t row = 0; row < height; ++row)
    for (int32_t x = 0; x < p.width; ++x) sum += p.y[row * p.lumaStride + x];
  for (int32_t row = 0; row < height / 2; ++row)
    for (int32_t x = 0; x < p.width / 2; ++x) sum += p.cb[row * p.chromaStride + x] + p.cr[row * p.chromaStride + x];
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  AvcDecParams params;
  params.widthInMbs = 1 + input.U8() % 12;
  params.heightInMbs = 1 + input.U8() % 12;
  params.maxRefFrames = input.U8() % 5;
  params.flags = input.U8() & 1 ? kAvcDecBumping : 0;
  AvcDecContext* decoder = AvcDecCreate(&params);
  if (!decoder) return 0;
  volatile uint32_t seen = 0;
  while (!input.Empty()) {
    const uint16_t piece = input.U16();
    const std::vector<uint8_t> bytes = input.Bytes(piece);
    AvcDecPicture picture;
    if (AvcDecDecode(decoder, bytes.data(), static_cast<int32_t>(bytes.size()), 0, 0, &picture, nullptr) ==
        kAvcDecPicture)
      seen = seen + Sum(picture);
  }
  AvcDecDestroy(decoder);
  return 0;
}
