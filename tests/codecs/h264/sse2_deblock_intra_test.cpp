#include <gtest/gtest.h>

#include "codecs/h264/kernels_deblock_intra_x86.h"
#include "tests/codecs/h264/deblock_intra_kernel_checks.h"

TEST(Sse2DeblockIntra, EqualsPlain) {
  avc::KernelSet set = avc::PlainKernels();
  avc::FillSse2EdgeFilters(set);
  avc::FillSse2IntraKernels(set);
  std::mt19937 random(1);
  avc_check::CompareEdgeFilters(set, random);
  avc_check::CompareIntraPredictors(set, random);
}
