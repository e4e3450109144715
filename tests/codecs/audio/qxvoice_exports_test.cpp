// The shared voice library exports its seven C functions and nothing else.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace {

TEST(QxVoiceLibrary, ExportsExactlyTheSevenVoiceFunctions) {
  ORLENTA_REQUIRE_PROGRAM("nm");
  const auto output = testing_support::RunOutput(std::string("nm -D --defined-only '") + QXVOICE_LIBRARY + "'");
  ASSERT_TRUE(output) << "nm failed on " << QXVOICE_LIBRARY;
  std::set<std::string> symbols;
  std::istringstream lines(*output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) symbols.insert(name);
  }
  const std::set<std::string> expected = {
      "QX_VOICE_GetVersion",  "QX_VOICE_EncReset",       "QX_VOICE_DecReset",
      "QX_VOICE_EncodeFrame", "QX_VOICE_DecodeFrame",    "QX_VOICE_TransCodeReset",
      "QX_VOICE_TransCodeFrame"};
  EXPECT_EQ(symbols, expected);
}

}  // namespace
