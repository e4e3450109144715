#pragma once
// Wide-character texts (names and paths the program keeps as wchar_t, one
// code point each) as UTF-8 for the system's byte-string interfaces.
#include <string>
#include <string_view>

namespace platform {

// Values that are no Unicode scalar value become U+FFFD.
std::string WideToUtf8(std::wstring_view text);

}  // namespace platform
