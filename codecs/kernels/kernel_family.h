#pragma once
// A family of kernels as one table of function pointers per instruction
// set.  The plain C++ table is the definition; each wider set starts as a
// copy of the set below it and replaces the slots where its instructions
// pay, so every slot of every set is filled and gives the plain bytes.  The
// family is built once, at its first use (a function-local static), and
// chooses its set then from the features the kernel mask leaves
// (kernel_mask.h).
//
// A new family: a struct of kernel pointers (plain types only), its plain
// table, one Fill function per wider set in a file built for that
// instruction set, and one function in the family's own baseline file that
// builds `static const KernelFamily<Table> family(plain, {wider sets})`.
//
// Instantiate it only in code built for the baseline instruction set: an
// inline copy made in a file built with -mavx2 could be the one the linker
// keeps.  The wider files include nothing but the table's struct.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "codecs/kernels/kernel_mask.h"

namespace codecs {

template <typename Table>
class KernelFamily {
 public:
  struct Wider {
    const char* name;
    uint32_t needs;  // CpuFeature bits beyond those of the set below
    void (*fill)(Table& table);
  };
  struct Set {
    const char* name;
    uint32_t needs;  // every feature its kernels use, the sets' below included
    const Table* table;
  };

  KernelFamily(const Table& plain, std::initializer_list<Wider> wider) {
    tables_.reserve(wider.size());  // the sets point into it
    sets_.push_back({"plain", 0, &plain});
    for (const Wider& set : wider) {
      tables_.push_back(*sets_.back().table);
      set.fill(tables_.back());
      sets_.push_back({set.name, sets_.back().needs | set.needs, &tables_.back()});
    }
    chosen_ = &SetFor(KernelFeatures());
  }
  KernelFamily(const KernelFamily&) = delete;
  KernelFamily& operator=(const KernelFamily&) = delete;

  static bool Runs(const Set& set, uint32_t features) { return (set.needs & features) == set.needs; }

  // Plain first, then each set after the one it builds on.
  const std::vector<Set>& All() const { return sets_; }
  const Table& Plain() const { return *sets_.front().table; }
  // The fastest set that uses only `features`.
  const Set& SetFor(uint32_t features) const {
    const Set* best = &sets_.front();
    for (const Set& set : sets_)
      if (Runs(set, features)) best = &set;
    return *best;
  }
  const Table& BestFor(uint32_t features) const { return *SetFor(features).table; }
  // The set chosen when the family was built.
  const Set& ChosenSet() const { return *chosen_; }
  const Table& Chosen() const { return *chosen_->table; }

 private:
  std::vector<Table> tables_;
  std::vector<Set> sets_;
  const Set* chosen_ = nullptr;
};

}  // namespace codecs
