#pragma once
// One CAVLC residual block (clause 9.2): coeff_token, trailing-one signs,
// levels, total_zeros and run_before, into coefficients in scan order.
#include <cstdint>

#include "codecs/h264/bit_reader.h"

namespace avc {

// nC -1 reads a chroma DC block.  `levels` receives maxNumCoeff values in
// scan order (the caller clears it), `totalCoeff` the count read.  Returns
// false when the block holds no valid code or its coefficients would not
// fit the block; nothing is then written past maxNumCoeff.
bool ReadResidualBlock(BitReader& reader, int nC, int maxNumCoeff, int16_t* levels, int& totalCoeff);

}  // namespace avc
