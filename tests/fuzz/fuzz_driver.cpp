// Runs a fuzz target without libFuzzer: replays the files given, or feeds
// it random inputs (and mutations of the previous input) for a number of
// seconds.  Usage: TARGET [--seconds N] [--seed S] [FILE...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  double seconds = 10;
  uint32_t seed = 1;
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      files.push_back(argv[i]);
    }
  }
  if (!files.empty()) {
    for (const char* file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return 0;
  }
  std::mt19937 random(seed);
  std::vector<uint8_t> input;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  uint64_t runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    if (input.empty() || random() % 4 == 0) {
      input.resize(random() % 20000);
      for (uint8_t& b : input) b = static_cast<uint8_t>(random());
    } else {
      for (uint32_t n = 1 + random() % 16; n > 0; --n) input[random() % input.size()] = static_cast<uint8_t>(random());
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
  }
  std::printf("%llu inputs in %.0f s, seed %u\n", static_cast<unsigned long long>(runs), seconds, seed);
  return 0;
}
