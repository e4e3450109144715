#pragma once
// Variable-length code lookup: a code list of the standard becomes, at
// compile time, a table indexed by the next `Bits` bits of the stream.
#include <array>
#include <cstddef>
#include <cstdint>

#include "codecs/mpeg4/mp4_bit_reader.h"

struct Mp4VlcCode {
  uint16_t code;  // the code's bits, right-aligned
  uint8_t length;
  int16_t value;
};

struct Mp4VlcEntry {
  int16_t value = 0;
  uint8_t length = 0;  // 0: no code starts with these bits
};

template <int Bits, size_t N>
constexpr std::array<Mp4VlcEntry, (size_t(1) << Bits)> BuildMp4Vlc(const std::array<Mp4VlcCode, N>& codes) {
  std::array<Mp4VlcEntry, (size_t(1) << Bits)> table{};
  for (const Mp4VlcCode& c : codes) {
    const int spare = Bits - c.length;
    const size_t first = size_t(c.code) << spare;
    for (size_t i = 0; i < (size_t(1) << spare); ++i) table[first + i] = Mp4VlcEntry{c.value, c.length};
  }
  return table;
}

// Decodes one code; false (nothing consumed) when the bits start no code.
template <size_t Size>
bool ReadMp4Vlc(Mp4BitReader& reader, const std::array<Mp4VlcEntry, Size>& table, int bits, int& value) {
  const Mp4VlcEntry& e = table[reader.Peek(bits)];
  if (e.length == 0) return false;
  reader.Skip(e.length);
  value = e.value;
  return true;
}
