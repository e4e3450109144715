// The table template every kernel family is built with: each wider set
// starts from the one below it, and a set is chosen only where every
// feature it needs, its base sets' included, is there.
#include <gtest/gtest.h>

#include <array>

#include "codecs/kernels/cpu_features.h"
#include "codecs/kernels/kernel_family.h"

namespace {

struct Table {
  int first, second, third;
};

void FillNarrow(Table& t) { t.first = 10; }
void FillWide(Table& t) { t.second = 20; }

const Table kPlain{1, 2, 3};

TEST(KernelFamily, WiderSetsReplaceOnlyTheirSlotsAndNeedTheFeaturesOfTheSetsBelow) {
  const codecs::KernelFamily<Table> family(kPlain, {{"narrow", codecs::kCpuSse2, FillNarrow},
                                                   {"wide", codecs::kCpuAvx2, FillWide}});
  ASSERT_EQ(family.All().size(), 3u);
  EXPECT_EQ(&family.Plain(), &kPlain);
  EXPECT_STREQ(family.All()[0].name, "plain");
  const Table& narrow = *family.All()[1].table;
  const Table& wide = *family.All()[2].table;
  EXPECT_EQ((std::array{narrow.first, narrow.second, narrow.third}), (std::array{10, 2, 3}));
  EXPECT_EQ((std::array{wide.first, wide.second, wide.third}), (std::array{10, 20, 3}));
  EXPECT_EQ(family.All()[2].needs, codecs::kCpuSse2 | codecs::kCpuAvx2);

  EXPECT_EQ(&family.BestFor(0), &kPlain);
  EXPECT_EQ(&family.BestFor(codecs::kCpuSse2 | codecs::kCpuSse3), &narrow);
  EXPECT_EQ(&family.BestFor(codecs::kCpuAvx2), &kPlain);  // the wide set carries the narrow kernels
  EXPECT_EQ(&family.BestFor(codecs::kAllCpuFeatures), &wide);
  EXPECT_EQ(&family.Chosen(), &family.BestFor(codecs::ProcessorFeatures()));
}

TEST(KernelFamily, AFamilyWithoutWiderSetsRunsItsPlainSet) {
  const codecs::KernelFamily<Table> family(kPlain, {});
  ASSERT_EQ(family.All().size(), 1u);
  EXPECT_EQ(&family.Chosen(), &kPlain);
  EXPECT_EQ(&family.BestFor(codecs::kAllCpuFeatures), &kPlain);
}

}  // namespace
