#pragma once
// What a kernel family hands the kernel-set harness: for each SIMD set the
// build holds, whether this processor runs it and a check that runs every
// kernel of the set and of the family's plain set on the same random input
// and asserts (GoogleTest) that the outputs are byte-identical.
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codecs/kernels/cpu_features.h"
#include "codecs/kernels/kernel_family.h"

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

// A kernel family's sets after the plain one, each checked by `compare`
// (every kernel of the set against the family's plain set).
template <typename Table>
Family FamilyOf(std::string name, const codecs::KernelFamily<Table>& kernels,
                void (*compare)(const Table& set, std::mt19937& random)) {
  Family family{std::move(name), {}};
  for (const auto& set : kernels.All()) {
    if (set.table == &kernels.Plain()) continue;
    const Table* table = set.table;
    family.sets.push_back({set.name, kernels.Runs(set, codecs::ProcessorFeatures()),
                           [table, compare](std::mt19937& random) { compare(*table, random); }});
  }
  return family;
}

}  // namespace kernel_check
