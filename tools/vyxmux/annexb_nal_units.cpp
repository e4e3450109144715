#include "tools/vyxmux/annexb_nal_units.h"

std::vector<AnnexBNalUnit> FindAnnexBNalUnits(const uint8_t* data, size_t size) {
  std::vector<AnnexBNalUnit> units;
  auto finish = [&](size_t end) {
    if (units.empty()) return;
    AnnexBNalUnit& last = units.back();
    while (end > last.nalOffset && data[end - 1] == 0) --end;
    last.nalSize = end - last.nalOffset;
  };
  for (size_t i = 0; i + 3 <= size; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    const size_t startCode = i > 0 && data[i - 1] == 0 ? i - 1 : i;
    finish(startCode);
    units.push_back({startCode, i + 3, 0});
    i += 2;
  }
  finish(size);
  return units;
}
