#include "codecs/audio/bit_packing.h"

#include <algorithm>
#include <vector>

namespace codecs::audio {
namespace {

bool HoldsWholeCodes(std::span<const uint8_t> bytes, int bits) {
  return (bytes.size() * 8) % static_cast<size_t>(bits) == 0;
}

unsigned ReadMsbFirst(std::span<const uint8_t> bytes, size_t position, int bits) {
  unsigned code = 0;
  for (int i = 0; i < bits; ++i, ++position)
    code = (code << 1) | ((bytes[position / 8] >> (7 - position % 8)) & 1u);
  return code;
}

void WriteMsbFirst(std::span<uint8_t> bytes, size_t position, unsigned code, int bits) {
  for (int i = bits - 1; i >= 0; --i, ++position)
    bytes[position / 8] = static_cast<uint8_t>(bytes[position / 8] |
                                               (((code >> i) & 1u) << (7 - position % 8)));
}

}  // namespace

unsigned LsbFirstBitReader::Read(int bits) {
  unsigned code = 0;
  for (int i = 0; i < bits; ++i, ++position_) {
    if (position_ / 8 >= bytes_.size()) break;
    code |= ((bytes_[position_ / 8] >> (position_ % 8)) & 1u) << i;
  }
  return code;
}

LsbFirstBitWriter::LsbFirstBitWriter(std::span<uint8_t> bytes) : bytes_(bytes) {
  std::fill(bytes_.begin(), bytes_.end(), uint8_t{0});
}

void LsbFirstBitWriter::Write(unsigned code, int bits) {
  for (int i = 0; i < bits; ++i, ++position_) {
    if (position_ / 8 >= bytes_.size()) return;
    bytes_[position_ / 8] =
        static_cast<uint8_t>(bytes_[position_ / 8] | (((code >> i) & 1u) << (position_ % 8)));
  }
}

void LsbFirstToMsbFirst(std::span<uint8_t> bytes, int bits) {
  if (!HoldsWholeCodes(bytes, bits)) return;
  const std::vector<uint8_t> source(bytes.begin(), bytes.end());
  LsbFirstBitReader reader(source);
  std::fill(bytes.begin(), bytes.end(), uint8_t{0});
  const size_t codes = bytes.size() * 8 / static_cast<size_t>(bits);
  for (size_t k = 0; k < codes; ++k)
    WriteMsbFirst(bytes, k * static_cast<size_t>(bits), reader.Read(bits), bits);
}

void MsbFirstToLsbFirst(std::span<uint8_t> bytes, int bits) {
  if (!HoldsWholeCodes(bytes, bits)) return;
  const std::vector<uint8_t> source(bytes.begin(), bytes.end());
  LsbFirstBitWriter writer(bytes);
  const size_t codes = source.size() * 8 / static_cast<size_t>(bits);
  for (size_t k = 0; k < codes; ++k)
    writer.Write(ReadMsbFirst(source, k * static_cast<size_t>(bits), bits), bits);
}

}  // namespace codecs::audio
