#pragma once
// The decoder's inverse DCT: the integer AP-922 transform (a 32-bit row pass
// with per-row cosine tables, then a 16-bit saturating column pass), exact to
// the bit in every step, so that pictures equal those of the reference
// decoders that use the same transform.
#include <cstdint>

// Transforms the 8 x 8 coefficients (raster order) in place into samples.
void Mp4Idct(int16_t block[64]);
