// One harness for every family of kernels: each SIMD set the processor runs
// is compared byte for byte with the family's plain C++ set on random input.
// Sets the processor lacks are not run and not counted as skips; the test
// prints which sets ran.  A new family adds its row to Families().
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/codecs/kernels/kernel_family.h"
#include "tests/codecs/h264/avc_kernel_family.h"
#include "tests/codecs/jpeg/jpeg_kernel_family.h"
#include "tests/codecs/mpeg4/mp4_kernel_family.h"
#include "tests/codecs/pixels/pixel_kernel_family.h"

namespace {

std::vector<kernel_check::Family> Families() {
  return {PixelKernelFamily(), JpegKernelFamily(), Mp4KernelFamily(), AvcKernelFamily()};
}

std::string Joined(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

TEST(KernelSets, EverySetTheProcessorRunsEqualsThePlainSet) {
  for (const kernel_check::Family& family : Families()) {
    std::vector<std::string> ran, absent;
    for (const kernel_check::SetCheck& set : family.sets) {
      if (!set.runsHere) {
        absent.push_back(set.name);
        continue;
      }
      SCOPED_TRACE(family.name + ", set " + set.name);
      std::mt19937 random(20261210);
      set.compareWithPlain(random);
      if (HasFatalFailure()) return;
      ran.push_back(set.name);
    }
    std::printf("[ kernels  ] %s: %s equal to plain; not on this processor: %s\n", family.name.c_str(),
                Joined(ran).c_str(), Joined(absent).c_str());
    RecordProperty(family.name, Joined(ran));
  }
}

}  // namespace
