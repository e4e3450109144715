#pragma once
// What many tests need: the reference material, scratch files, and the
// ffmpeg tool as a black-box encoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// ../shared/testdata, or $ORLENTA_TESTDATA when set; nullopt when absent.
std::optional<std::filesystem::path> TestDataDir();
// Path of a file in the reference material; nullopt when it is absent.
std::optional<std::filesystem::path> TestDataFile(const std::string& relative);

// A fresh directory under the build tree, removed with the object.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name);
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Runs a shell command; returns its exit status (-1 when it could not run).
int Run(const std::string& command);
// Runs a shell command and returns its standard output; nullopt on failure.
std::optional<std::string> RunOutput(const std::string& command);
bool HaveProgram(const std::string& name);
// True when ORLENTA_REQUIRE_ALL is set (CI): what a test needs from outside
// the tree, reference material or a program, must then be there.
bool RequireAll();

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::string Md5Hex(const uint8_t* data, size_t size);
std::string Md5Hex(const std::vector<uint8_t>& bytes);

// Path of a program built in this tree (tools/...).
std::filesystem::path BuiltTool(const std::string& relative);

}  // namespace testing_support

// Ends the current test because something it needs is absent: skipped with
// the message on a developer's machine, failed under ORLENTA_REQUIRE_ALL.
// Every "absent" path of the tests goes through here.
#define ORLENTA_ABSENT(message)                                                       \
  do {                                                                                \
    if (::testing_support::RequireAll())                                              \
      FAIL() << message << " (ORLENTA_REQUIRE_ALL is set)";                           \
    GTEST_SKIP() << message;                                                          \
  } while (false)

#define ORLENTA_REQUIRE_TESTDATA(var, relative)                                       \
  auto var##_opt = ::testing_support::TestDataFile(relative);                         \
  if (!var##_opt) ORLENTA_ABSENT("reference material absent: " << (relative));        \
  const std::filesystem::path var = *var##_opt

#define ORLENTA_REQUIRE_PROGRAM(name)                                                 \
  if (!::testing_support::HaveProgram(name)) ORLENTA_ABSENT("program absent: " << (name))
