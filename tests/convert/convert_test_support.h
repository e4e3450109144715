#pragma once
// What the conversion tests share: archives written record by record, a
// conversion run on the player's reader, and ffprobe's view of the AVI
// files (the independent oracle).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convert/avi_conversion.h"

namespace convert_test {

constexpr uint32_t kStart = 1700000000;

struct Record {
  uint8_t type;
  uint16_t width, height;
  uint64_t ms;  // after kStart
  std::vector<uint8_t> payload;
};

void WriteArchive(const std::filesystem::path& path, const std::vector<Record>& records);
// `size` bytes whose md5 differs from every other call's.
std::vector<uint8_t> Payload(size_t size);

// Opens the archive with the player's reader (its reports recorded) and
// converts it while it is being indexed.
ConversionResult Convert(const std::filesystem::path& archive, const std::filesystem::path& output,
                         uint64_t splitBytes = CQxAviConversion::kDefaultSplitBytes);

struct Packet {
  int stream = 0;
  int64_t dts = 0;
  size_t size = 0;
  std::string md5;
  bool key = false;
};
// ffprobe -show_packets -show_data_hash md5, plus `options` (e.g.
// "-read_intervals 5%+#1"); nullopt when ffprobe fails.
std::optional<std::vector<Packet>> ProbePackets(const std::filesystem::path& avi,
                                                const std::string& options = "");
std::vector<Packet> OfStream(const std::vector<Packet>& packets, int stream);
// A field of ffprobe -show_streams for stream `stream` ("codec_name").
std::string StreamField(const std::filesystem::path& avi, int stream, const std::string& field);
// What `ffprobe -v warning` prints about the file (empty when it is happy).
std::string ProbeWarnings(const std::filesystem::path& avi);

std::string Md5(const std::vector<uint8_t>& bytes);

// Runs `body` in a child process whose files cannot grow past `limit`
// bytes.  With `killAtLimit` the write that would pass it kills the child
// (SIGXFSZ, which it cannot see coming, as with a kill from outside);
// otherwise that write fails with EFBIG, as on a full disk.  The child
// exits with body's result; returns the wait status.
int InChildWithFileSizeLimit(uint64_t limit, bool killAtLimit, const std::function<int()>& body);

}  // namespace convert_test
