#pragma once
// Exact record times: rates are fractions, offsets whole microseconds.
#include <cstdint>
#include <optional>
#include <string>

struct Rational {
  uint64_t num = 0;
  uint64_t den = 1;
};

// "25", "29.97" or "30000/1001"; nullopt unless positive and well formed.
std::optional<Rational> ParseRate(const std::string& text);
// Non-negative decimal seconds ("1.25") as microseconds; digits beyond
// the sixth decimal are dropped.
std::optional<uint64_t> ParseSecondsAsUsec(const std::string& text);
// Time of item `index` when `rate` items come per second, in whole
// microseconds (rounded down).
uint64_t OffsetUsec(uint64_t index, Rational rate);
