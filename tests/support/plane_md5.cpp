#include "tests/support/plane_md5.h"

#include "tools/common/md5.h"

namespace testing_support {

std::string PlaneMd5(const PlanarPicture& p) {
  Md5 md5;
  const int chromaWidth = (p.width + 1) / 2, chromaHeight = (p.height + 1) / 2;
  for (int row = 0; row < p.height; ++row) md5.Update(p.y + row * p.yStride, p.width);
  for (int row = 0; row < chromaHeight; ++row) md5.Update(p.u + row * p.uStride, chromaWidth);
  for (int row = 0; row < chromaHeight; ++row) md5.Update(p.v + row * p.vStride, chromaWidth);
  return md5.FinishHex();
}

}  // namespace testing_support
