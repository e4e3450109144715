#pragma once
// The md5 of a 4:2:0 picture as framemd5 hashes yuv420p: the Y, U and V
// planes one after the other, without their row padding.
#include <cstddef>
#include <cstdint>
#include <string>

namespace testing_support {

struct PlanarPicture {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  ptrdiff_t yStride = 0, uStride = 0, vStride = 0;
  int width = 0, height = 0;  // of the luma plane; chroma is half of each, rounded up
};

std::string PlaneMd5(const PlanarPicture& picture);

}  // namespace testing_support
