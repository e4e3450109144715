#include "platform/wide_text.h"

#include <cstdint>

namespace platform {

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t wide : text) {
    uint32_t c = static_cast<uint32_t>(wide);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | c >> 6));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | c >> 12));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | c >> 18));
      out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace {

// The code point of the UTF-8 sequence at text[at], its length in `length`;
// -1 for an invalid sequence (overlong forms, surrogates and values past
// U+10FFFF included), -2 for one that the text's end cuts short.
int32_t DecodeUtf8(std::string_view text, size_t at, size_t& length) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  uint32_t c, min;
  if (lead < 0x80) {
    length = 1;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  for (size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return -2;
    if ((byte(at + i) & 0xC0) != 0x80) return -1;
    c = c << 6 | (byte(at + i) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  return static_cast<int32_t>(c);
}

}  // namespace

std::wstring EightBitToWide(std::string_view text, bool cut) {
  std::wstring wide;
  wide.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    size_t length = 1;
    const int32_t c = DecodeUtf8(text, at, length);
    if (c == -2 && cut) break;
    if (c < 0) {
      wide.clear();
      for (const char byte : text) wide.push_back(static_cast<unsigned char>(byte));
      return wide;
    }
    wide.push_back(static_cast<wchar_t>(c));
    at += length;
  }
  return wide;
}

}  // namespace platform
