#include "tests/support/test_support.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "tools/common/md5.h"

namespace testing_support {
namespace fs = std::filesystem;

std::optional<fs::path> TestDataDir() {
  if (const char* env = std::getenv("ORLENTA_TESTDATA")) {
    if (fs::is_directory(env)) return fs::path(env);
    return std::nullopt;
  }
  if (fs::is_directory(ORLENTA_TESTDATA_DIR)) return fs::path(ORLENTA_TESTDATA_DIR);
  return std::nullopt;
}

std::optional<fs::path> TestDataFile(const std::string& relative) {
  auto dir = TestDataDir();
  if (!dir) return std::nullopt;
  fs::path file = *dir / relative;
  if (!fs::exists(file)) return std::nullopt;
  return file;
}

ScratchDir::ScratchDir(const std::string& name) {
  std::random_device random;
  path_ = fs::path(ORLENTA_BINARY_DIR) / "scratch" /
          (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (!std::getenv("ORLENTA_KEEP_SCRATCH")) fs::remove_all(path_, ignored);
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::string> RunOutput(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string output;
  std::array<char, 4096> chunk;
  size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return output;
}

bool RequireAll() {
  const char* value = std::getenv("ORLENTA_REQUIRE_ALL");
  return value && *value && std::string(value) != "0";
}

bool HaveProgram(const std::string& name) {
  return Run("command -v '" + name + "' >/dev/null 2>&1") == 0;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Md5Hex(const uint8_t* data, size_t size) { return Md5::Hex(data, size); }
std::string Md5Hex(const std::vector<uint8_t>& bytes) { return Md5::Hex(bytes.data(), bytes.size()); }

fs::path BuiltTool(const std::string& relative) { return fs::path(ORLENTA_BINARY_DIR) / relative; }

}  // namespace testing_support
