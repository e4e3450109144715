#pragma once
// Wide-character texts (names and paths the program keeps as wchar_t, one
// code point each) as UTF-8 for the system's byte-string interfaces.
#include <string>
#include <string_view>

namespace platform {

// Values that are no Unicode scalar value become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// 8-bit text of unknown encoding (a recorder's title): UTF-8 where its
// bytes are valid UTF-8, otherwise Latin-1.  With `cut`, the text was cut at
// a byte limit: a sequence the cut left incomplete at its end is dropped.
std::wstring EightBitToWide(std::string_view text, bool cut);

}  // namespace platform
