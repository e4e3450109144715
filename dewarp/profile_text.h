#pragma once
// Reads the text of an ini-style profile: "[section]" lines and
// "key=value" lines.  Section and key names compare without regard to case,
// blanks around names and values are trimmed, CRLF line ends and a UTF-8
// byte order mark are accepted, and the first occurrence of a key wins,
// also over a later section of the same name.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class ProfileText {
 public:
  explicit ProfileText(std::string_view text);

  // The value as written, or nullopt when the section or key is absent.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // The leading signed decimal of the value (0 when it has none), kept as
  // its low 16 bits; fallback when the key is absent.
  uint16_t ReadU16(std::string_view section, std::string_view key, uint16_t fallback) const;

 private:
  // Keys are stored as "section\nkey", both lowered.
  std::map<std::string, std::string> values_;
};
