#include "tools/h264rewrite/weight_tables.h"

#include <algorithm>
#include <iterator>

namespace h264rewrite {

void WriteVaryingWeights(RbspWriter& w, uint32_t refIdxMinus1, uint32_t picture) {
  struct Set {
    uint32_t lumaDenom, chromaDenom;
    int32_t lumaWeight, lumaOffset, chromaWeight, chromaOffset;
  };
  static constexpr Set kSets[] = {{5, 5, 127, 0, 127, 0},  {0, 0, -2, 127, -1, 127}, {3, 2, -20, 100, 5, -30},
                                  {6, 7, 70, -10, 127, -128}, {2, 4, 4, 0, 16, 0},   {7, 0, 100, 20, 1, 0}};
  const Set& set = kSets[picture % std::size(kSets)];
  w.Ue(set.lumaDenom);
  w.Ue(set.chromaDenom);
  for (uint32_t i = 0; i <= refIdxMinus1; ++i) {
    const int32_t step = static_cast<int32_t>(i) * 3;
    w.U(1, 1);
    w.Se(std::clamp(set.lumaWeight - step, -128, 127));
    w.Se(std::clamp(set.lumaOffset + step, -128, 127));
    w.U(1, 1);
    for (int c = 0; c < 2; ++c) {
      w.Se(std::clamp(set.chromaWeight - step * (c + 1), -128, 127));
      w.Se(std::clamp(set.chromaOffset + step, -128, 127));
    }
  }
}

}  // namespace h264rewrite
