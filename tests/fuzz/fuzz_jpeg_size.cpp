// vyxmux's JPEG reader of picture sizes on any file.
#include <vector>

#include "tools/vyxmux/jpeg_size.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto picture = JpegSize(std::vector<uint8_t>(data, data + size), &error);
  if (picture && (picture->width == 0 || picture->height == 0)) __builtin_trap();
  return 0;
}
