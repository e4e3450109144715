// 8-bit texts of unknown encoding as wide text: UTF-8 where the bytes are
// UTF-8, Latin-1 otherwise, and a character cut by a byte limit dropped.
#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace {

TEST(EightBitToWide, Utf8WhereValidElseLatin1) {
  struct Case {
    const char* name;
    std::string bytes;
    bool cut;
    std::wstring shown;
  };
  const Case cases[] = {
      {"ASCII", "Lobby 1", false, L"Lobby 1"},
      {"UTF-8 of two, three and four bytes", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7", false,
       L"Caf\u00E9 \u20AC \U0001F4F7"},
      {"Latin-1", "Caf\xE9", false, L"Caf\u00E9"},
      {"Latin-1 that starts like UTF-8", "\xC3\xA9t\xE9", false, L"\u00C3\u00A9t\u00E9"},
      {"overlong form", "a\xC0\xAF", false, L"a\u00C0\u00AF"},
      {"surrogate", "\xED\xA0\x80", false, L"\u00ED\u00A0\u0080"},
      {"past U+10FFFF", "\xF4\x90\x80\x80", false, L"\u00F4\u0090\u0080\u0080"},
      {"cut inside the last character", "Caf\xC3\xA9 \xE2\x82", true, L"Caf\u00E9 "},
      {"cut after a whole character", "Caf\xC3\xA9", true, L"Caf\u00E9"},
      {"an incomplete end not cut is no UTF-8", "Caf\xC3", false, L"Caf\u00C3"},
      {"cut text invalid before its end", "\xE9t\xC3", true, L"\u00E9t\u00C3"},
      {"empty", "", true, L""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::EightBitToWide(c.bytes, c.cut), c.shown) << c.name;
}

}  // namespace
