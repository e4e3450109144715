#include "tools/vyxmux/timing.h"

#include <cctype>

namespace {

constexpr uint64_t kUsecPerSecond = 1000000;
constexpr uint64_t kMaxDigitValue = 1000000000000000ull;  // keeps every product in range

// A decimal "123.456" as num/den with den a power of ten.
std::optional<Rational> ParseDecimal(const std::string& text) {
  if (text.empty()) return std::nullopt;
  Rational value{0, 1};
  bool seenPoint = false;
  bool seenDigit = false;
  for (char c : text) {
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    seenDigit = true;
    if (value.num >= kMaxDigitValue || value.den >= kMaxDigitValue) return std::nullopt;
    value.num = value.num * 10 + static_cast<uint64_t>(c - '0');
    if (seenPoint) value.den *= 10;
  }
  if (!seenDigit) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Rational> ParseRate(const std::string& text) {
  const size_t slash = text.find('/');
  std::optional<Rational> rate;
  if (slash == std::string::npos) {
    rate = ParseDecimal(text);
  } else {
    const auto num = ParseDecimal(text.substr(0, slash));
    const auto den = ParseDecimal(text.substr(slash + 1));
    if (!num || !den || num->den != 1 || den->den != 1) return std::nullopt;
    rate = Rational{num->num, den->num};
  }
  if (!rate || rate->num == 0 || rate->den == 0) return std::nullopt;
  return rate;
}

std::optional<uint64_t> ParseSecondsAsUsec(const std::string& text) {
  const auto value = ParseDecimal(text);
  if (!value) return std::nullopt;
  const unsigned __int128 usec = static_cast<unsigned __int128>(value->num) * kUsecPerSecond / value->den;
  if (usec > UINT64_MAX) return std::nullopt;
  return static_cast<uint64_t>(usec);
}

uint64_t OffsetUsec(uint64_t index, Rational rate) {
  if (index >= (uint64_t{1} << 40)) return UINT64_MAX;  // far beyond any archive
  const unsigned __int128 usec =
      static_cast<unsigned __int128>(index) * kUsecPerSecond * rate.den / rate.num;
  return usec > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(usec);
}
