#include "tools/h264rewrite/annexb_units.h"

#include "tools/h264rewrite/rbsp_bits.h"

namespace h264rewrite {

std::vector<std::vector<uint8_t>> NalUnitRbsps(const std::vector<uint8_t>& s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 3 <= s.size(); ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
      starts.push_back(i + 3);
      i += 2;
    }
  }
  std::vector<std::vector<uint8_t>> units;
  for (size_t n = 0; n < starts.size(); ++n) {
    size_t end = n + 1 < starts.size() ? starts[n + 1] - 3 : s.size();
    while (end > starts[n] && s[end - 1] == 0) --end;
    units.push_back(RemoveEmulationPrevention(s.data() + starts[n], end - starts[n]));
  }
  return units;
}

void AppendNalUnit(std::vector<uint8_t>& stream, const std::vector<uint8_t>& rbsp) {
  const uint8_t startCode[] = {0, 0, 0, 1};
  stream.insert(stream.end(), startCode, startCode + 4);
  const std::vector<uint8_t> payload = AddEmulationPrevention(rbsp);
  stream.insert(stream.end(), payload.begin(), payload.end());
}

}  // namespace h264rewrite
