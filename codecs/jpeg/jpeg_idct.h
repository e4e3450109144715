#pragma once
// The inverse DCTs.  Fast: Arai-Agui-Nakajima on 16-bit lanes, quantisation
// folded into tables prescaled by the AAN factors (in the kernel sets).
// Accurate: Loeffler-Ligtenberg-Moschytz with 13-bit constants, rows first.
#include <cstddef>
#include <cstdint>

namespace jpeg {

// The AAN factors S(u,v) = 16384 a(u) a(v), a(0) = 1, a(k) = √2 cos(kπ/16),
// natural order.
extern const uint16_t kAanScale[64];

// q × S rounded to the 2 fraction bits the fast IDCT works with, kept to 16 bits.
inline uint16_t PrescaledQuant(uint32_t q, int index) {
  return static_cast<uint16_t>((static_cast<uint64_t>(q) * kAanScale[index] + 2048) >> 12);
}

// Dequantises (16-bit products) and transforms one block.
void AccurateIdct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, ptrdiff_t stride);

}  // namespace jpeg
