// vyxmux's H.264 byte-stream splitter on any stream: the units cover the
// stream in order without overlap.
#include <vector>

#include "tools/vyxmux/annexb_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> stream(data, data + size);
  std::string error;
  size_t end = 0;
  for (const AccessUnit& unit : SplitAnnexB(stream, &error)) {
    if (unit.offset != end) __builtin_trap();
    end = unit.offset + unit.bytes.size();
  }
  if (end > size) __builtin_trap();
  return 0;
}
