// vyxmux's H.264 byte-stream splitter on any stream: the units, and the
// records made of them, cover the stream in order without overlap.
#include <vector>

#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/field_pair_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> stream(data, data + size);
  std::string error;
  const std::vector<AccessUnit> units = SplitAnnexB(stream, &error);
  for (const std::vector<AccessUnit>& covering : {units, JoinFieldPairs(units)}) {
    size_t end = 0;
    for (const AccessUnit& unit : covering) {
      if (unit.offset != end) __builtin_trap();
      end = unit.offset + unit.bytes.size();
    }
    if (end > size) __builtin_trap();
  }
  return 0;
}
