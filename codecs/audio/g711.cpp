#include "codecs/audio/g711.h"

#include <array>
#include <cstddef>

namespace codecs::audio {
namespace {

constexpr int16_t ExpandAlaw(uint8_t code) {
  const int inverted = code ^ 0x55;
  const int segment = (inverted & 0x7F) >> 4;
  int magnitude = inverted & 0x0F;
  if (segment > 0) magnitude += 16;
  magnitude = (magnitude << 4) + 8;
  if (segment > 1) magnitude <<= segment - 1;
  return static_cast<int16_t>(inverted & 0x80 ? magnitude : -magnitude);
}

constexpr int16_t ExpandUlaw(uint8_t code) {
  const int inverted = ~code & 0xFF;
  const int segment = (inverted >> 4) & 7;
  const int mantissa = inverted & 0x0F;
  const int step = 4 << (segment + 1);
  const int magnitude = (0x80 << segment) + step * mantissa + step / 2 - 4 * 33;
  return static_cast<int16_t>(code & 0x80 ? magnitude : -magnitude);
}

template <int16_t (*Expand)(uint8_t)>
constexpr std::array<int16_t, 256> ExpansionTable() {
  std::array<int16_t, 256> table{};
  for (int code = 0; code < 256; ++code) table[static_cast<size_t>(code)] = Expand(static_cast<uint8_t>(code));
  return table;
}

constexpr auto kAlawTable = ExpansionTable<ExpandAlaw>();
constexpr auto kUlawTable = ExpansionTable<ExpandUlaw>();

static_assert(kAlawTable[0x00] == -5504 && kAlawTable[0xD5] == 8);
static_assert(kUlawTable[0x00] == -32124 && kUlawTable[0xFF] == 0);

}  // namespace

uint8_t LinearToAlaw(int16_t sample) {
  // 12-bit magnitude; the ones' complement keeps -1 in the smallest step.
  int magnitude = (sample < 0 ? ~sample : sample) >> 4;
  if (magnitude > 15) {
    int segment = 1;
    while (magnitude > 31) {
      magnitude >>= 1;
      ++segment;
    }
    magnitude = (segment << 4) | (magnitude - 16);
  }
  if (sample >= 0) magnitude |= 0x80;
  return static_cast<uint8_t>(magnitude ^ 0x55);
}

uint8_t LinearToUlaw(int16_t sample) {
  int biased = ((sample < 0 ? ~sample : sample) >> 2) + 33;
  if (biased > 0x1FFF) biased = 0x1FFF;
  int segment = 1;
  for (int rest = biased >> 6; rest != 0; rest >>= 1) ++segment;
  const int code = ((8 - segment) << 4) | (0x0F - ((biased >> segment) & 0x0F));
  return static_cast<uint8_t>(sample >= 0 ? code | 0x80 : code);
}

int16_t AlawToLinear(uint8_t code) { return kAlawTable[code]; }
int16_t UlawToLinear(uint8_t code) { return kUlawTable[code]; }

}  // namespace codecs::audio
