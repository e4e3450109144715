#include "tests/convert/convert_test_support.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <cerrno>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "tests/support/archive_records.h"
#include "tests/support/test_support.h"

namespace convert_test {

namespace {

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

std::string Field(const std::string& line, const std::string& name) {
  const std::string key = "|" + name + "=";
  const size_t at = line.find(key);
  if (at == std::string::npos) return {};
  const size_t begin = at + key.size();
  return line.substr(begin, line.find('|', begin) - begin);
}

}  // namespace

void WriteArchive(const std::filesystem::path& path, const std::vector<Record>& records) {
  std::vector<testing_support::ArchiveRecord> written;
  for (const Record& r : records) {
    written.push_back({testing_support::HeaderAt(r.type, kStart, r.ms * 1000), r.payload});
    written.back().header.width = r.width;
    written.back().header.height = r.height;
  }
  ASSERT_TRUE(testing_support::WriteArchive(path, written));
}

std::vector<uint8_t> Payload(size_t size) {
  static uint32_t seed = 12345;
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

ConversionResult Convert(const std::filesystem::path& archive, const std::filesystem::path& output,
                         uint64_t splitBytes) {
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  CQxVyxParser reader;
  reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
  if (reader.Open(archive.string()) != 1) {
    ConversionResult failed;
    failed.end = ConversionEnd::kFailed;
    failed.error = "cannot open the archive";
    return failed;
  }
  CQxAviConversion conversion(reader, output.string(), splitBytes);
  const std::atomic<bool> abortRequest{false};
  ConversionResult result = conversion.RunConversion(abortRequest);
  if (result.end == ConversionEnd::kFinished) {
    EXPECT_EQ(conversion.Progress(), 100);
  }
  return result;
}

std::optional<std::vector<Packet>> ProbePackets(const std::filesystem::path& avi, const std::string& options) {
  const auto listing = testing_support::RunOutput("ffprobe -v quiet " + options +
                                                  " -show_packets -show_data_hash md5 -of compact " +
                                                  Quoted(avi));
  if (!listing) return std::nullopt;
  std::vector<Packet> packets;
  std::istringstream lines(*listing);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("packet|", 0) != 0) continue;
    Packet p;
    p.stream = std::stoi(Field(line, "stream_index"));
    const std::string dts = Field(line, "dts");
    p.dts = dts == "N/A" ? -1 : std::stoll(dts);
    p.size = std::stoul(Field(line, "size"));
    std::string hash = Field(line, "data_hash");
    p.md5 = hash.rfind("MD5:", 0) == 0 ? hash.substr(4) : hash;
    p.key = Field(line, "flags").find('K') != std::string::npos;
    packets.push_back(p);
  }
  return packets;
}

std::vector<Packet> OfStream(const std::vector<Packet>& packets, int stream) {
  std::vector<Packet> selected;
  for (const Packet& p : packets)
    if (p.stream == stream) selected.push_back(p);
  return selected;
}

std::string StreamField(const std::filesystem::path& avi, int stream, const std::string& field) {
  const auto value = testing_support::RunOutput("ffprobe -v quiet -select_streams " + std::to_string(stream) +
                                                " -show_entries stream=" + field + " -of csv=p=0 " +
                                                Quoted(avi));
  if (!value) return "(ffprobe failed)";
  std::string text = *value;
  while (!text.empty() && (text.back() == '\n' || text.back() == ',')) text.pop_back();
  return text;
}

std::string ProbeWarnings(const std::filesystem::path& avi) {
  const auto text = testing_support::RunOutput("ffprobe -v warning -show_streams " + Quoted(avi) +
                                               " 2>&1 >/dev/null");
  return text ? *text : "(ffprobe failed)";
}

std::string Md5(const std::vector<uint8_t>& bytes) { return testing_support::Md5Hex(bytes); }

int InChildWithFileSizeLimit(uint64_t limit, bool killAtLimit, const std::function<int()>& body) {
  std::fflush(nullptr);  // nothing buffered twice
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const rlimit noCore{0, 0}, size{limit, limit};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(SIGXFSZ, killAtLimit ? SIG_DFL : SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &size);
    ::_exit(body());
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace convert_test
