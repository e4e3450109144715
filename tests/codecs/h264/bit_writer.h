#pragma once
// Hand-written H.264 syntax for tests.
#include <cstdint>
#include <vector>

namespace avc_test {

// Writes syntax elements MSB first and closes with the rbsp stop bit.
class BitWriter {
 public:
  BitWriter& U(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
    return *this;
  }
  BitWriter& Ue(uint32_t value) {
    const uint64_t code = uint64_t{value} + 1;
    int length = 0;
    while ((code >> length) > 1) ++length;
    U(0, length);
    for (int i = length; i >= 0; --i) bits_.push_back((code >> i) & 1);
    return *this;
  }
  BitWriter& Se(int32_t value) { return Ue(value > 0 ? 2 * static_cast<uint32_t>(value) - 1 : 2 * static_cast<uint32_t>(-value)); }
  // pcm_alignment_zero_bit and the like.
  BitWriter& Align() {
    while (bits_.size() % 8) bits_.push_back(false);
    return *this;
  }
  std::vector<uint8_t> Rbsp() const {
    std::vector<bool> bits = bits_;
    bits.push_back(true);
    while (bits.size() % 8) bits.push_back(false);
    std::vector<uint8_t> out(bits.size() / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i) {
      if (bits[i]) out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    return out;
  }

 private:
  std::vector<bool> bits_;
};

}  // namespace avc_test
