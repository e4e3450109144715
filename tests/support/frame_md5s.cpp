#include "tests/support/frame_md5s.h"

#include <sstream>

#include "tests/support/test_support.h"

namespace testing_support {

std::vector<std::string> ParseFrameMd5s(const std::string& listing) {
  std::vector<std::string> md5s;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t comma = line.rfind(',');
    const size_t first = comma == std::string::npos ? comma : line.find_first_not_of(' ', comma + 1);
    if (first == std::string::npos) return {};
    md5s.push_back(line.substr(first));
  }
  return md5s;
}

std::vector<std::string> ReadFrameMd5s(const std::filesystem::path& listing) {
  const std::vector<uint8_t> bytes = ReadFile(listing);
  return ParseFrameMd5s(std::string(bytes.begin(), bytes.end()));
}

std::vector<std::string> FfmpegFrameMd5s(const std::filesystem::path& file, const std::string& inputOptions,
                                         const std::string& outputOptions) {
  const auto listing = RunOutput("ffmpeg -nostdin -loglevel error " + inputOptions + " -i '" + file.string() + "' " +
                                 outputOptions + " -f framemd5 -");
  return listing ? ParseFrameMd5s(*listing) : std::vector<std::string>{};
}

}  // namespace testing_support
