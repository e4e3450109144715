// The JPEG decoder on any bytes, in both of its modes, into pictures narrower,
// as wide as and wider than the bytes may claim: every read, write and
// allocation must stay inside the data and the picture given.
#include <cstdint>
#include <vector>

#include "codecs/jpeg/jpeg_image.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader input(data, size);
  const int32_t width = 1 + input.U8() % 96;
  const int32_t height = 1 + input.U8() % 96;
  const bool fast = input.U8() & 1;
  const std::vector<uint8_t> jpeg = input.Bytes(input.Left());
  std::vector<uint8_t> picture(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  CJpegImage image(fast);
  image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), picture.data(),
                     static_cast<uint32_t>(picture.size()), width);
  return 0;
}
