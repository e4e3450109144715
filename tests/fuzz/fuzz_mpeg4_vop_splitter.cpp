// vyxmux's MPEG-4 Visual splitter on any stream: the units cover the
// stream in order without overlap.
#include <vector>

#include "tools/vyxmux/mpeg4_vop_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> stream(data, data + size);
  std::string error;
  size_t end = 0;
  for (const Mpeg4Vop& vop : SplitMpeg4Vops(stream, &error)) {
    if (vop.offset != end) __builtin_trap();
    end = vop.offset + vop.bytes.size();
  }
  if (end > size) __builtin_trap();
  return 0;
}
