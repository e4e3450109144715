#include "dewarp/profile_text.h"

#include <cstdint>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string KeyOf(std::string_view section, std::string_view key) {
  return Lowered(Trim(section)) + '\n' + Lowered(Trim(key));
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());

  std::string section;
  bool inSection = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      section = Lowered(Trim(line.substr(1, close - 1)));
      inSection = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    // emplace keeps the first occurrence.
    values_.emplace(section + '\n' + Lowered(Trim(line.substr(0, equals))),
                    std::string(Trim(line.substr(equals + 1))));
  }
}

std::optional<std::string> ProfileText::Find(std::string_view section, std::string_view key) const {
  const auto it = values_.find(KeyOf(section, key));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

uint16_t ProfileText::ReadU16(std::string_view section, std::string_view key, uint16_t fallback) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value) return fallback;
  std::string_view s = *value;
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Unsigned arithmetic wraps where a long run of digits would overflow;
  // only the low 16 bits are kept in any case.
  uint32_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    n = n * 10u + static_cast<uint32_t>(c - '0');
  }
  if (negative) n = 0u - n;
  return static_cast<uint16_t>(n);
}
