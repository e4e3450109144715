#include "tests/tools/ffmpeg_reference.h"

#include <sstream>

#include "tests/support/test_support.h"

namespace {

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::vector<ReferencePacket>> ReferencePackets(const std::filesystem::path& file) {
  const auto framemd5 = testing_support::RunOutput("ffmpeg -nostdin -loglevel error -i " + Quoted(file) +
                                                   " -c copy -copyinkf -f framemd5 -");
  const auto probe = testing_support::RunOutput("ffprobe -loglevel error -select_streams v:0 -show_entries "
                                                "packet=flags -of csv=p=0 " + Quoted(file));
  if (!framemd5 || !probe) return std::nullopt;

  std::vector<ReferencePacket> packets;
  std::istringstream lines(*framemd5);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    // stream, dts, pts, duration, size, hash
    std::vector<std::string> fields;
    std::istringstream parts(line);
    std::string field;
    while (std::getline(parts, field, ',')) fields.push_back(Trim(field));
    if (fields.size() != 6) return std::nullopt;
    packets.push_back({std::stoul(fields[4]), fields[5], false});
  }
  std::istringstream flags(*probe);
  size_t index = 0;
  while (std::getline(flags, line)) {
    if (line.empty()) continue;
    if (index >= packets.size()) return std::nullopt;
    packets[index++].key = line.find('K') != std::string::npos;
  }
  if (index != packets.size()) return std::nullopt;
  return packets;
}

bool RunFfmpeg(const std::string& args) {
  return testing_support::Run("ffmpeg -nostdin -loglevel error -y " + args) == 0;
}
