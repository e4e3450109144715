#pragma once
// What a kernel family hands the kernel-set harness: for each SIMD set the
// build holds, whether this processor runs it and a check that runs every
// kernel of the set and of the family's plain set on the same random input
// and asserts (GoogleTest) that the outputs are byte-identical.
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kernel_check {

struct SetCheck {
  std::string name;
  bool runsHere;
  std::function<void(std::mt19937& random)> compareWithPlain;
};

struct Family {
  std::string name;
  std::vector<SetCheck> sets;  // the plain set itself is the reference, not listed
};

}  // namespace kernel_check
