// Indexing an archive of 200,000 small records, against a bare loop that
// only reads each 48-byte header and skips its payload.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "bench/support/ratio.h"
#include "platform/message_box.h"
#include "player/archive/vyx_parser.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {

constexpr int kRecords = 200000;

const std::string& Archive() {
  static const std::string path = [] {
    const std::filesystem::path dir = std::filesystem::path(ORLENTA_BINARY_DIR) / "scratch";
    std::filesystem::create_directories(dir);
    const std::string p = (dir / "indexing_bench.vyx").string();
    VyxWriter w;
    w.Open(p);
    for (int i = 0; i < kRecords; ++i) {
      const uint8_t type = i % 50 == 0 ? FRAME_TYPE_H264_I
                           : i % 3 == 0 ? FRAME_TYPE_VOICE
                                        : FRAME_TYPE_H264_P;
      w.Write(MakeFrameHeader(type, 1700000000u + static_cast<uint32_t>(i / 30)),
              std::vector<uint8_t>(16 + i % 64, 0x5A));
    }
    w.Close();
    return p;
  }();
  return path;
}

size_t BareHeaderLoop(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const off_t length = ::lseek(fd, 0, SEEK_END);
  off_t position = 0;
  size_t records = 0;
  VYX_FRAME_HEADER header;
  while (length - position >= static_cast<off_t>(VYX_HEADER_SIZE)) {
    if (::pread(fd, &header, sizeof header, position) != static_cast<ssize_t>(sizeof header)) break;
    position += static_cast<off_t>(VYX_HEADER_SIZE + header.length);
    ++records;
  }
  ::close(fd);
  return records;
}

size_t IndexWithParser(const std::string& path) {
  CQxVyxParser parser;
  parser.Open(path);
  while (parser.IsIndexing()) std::this_thread::sleep_for(std::chrono::microseconds(50));
  return parser.GetFrameCount();
}

void BM_IndexArchive(benchmark::State& state) {
  platform::ScopedMessageBoxBackend quiet(std::make_shared<platform::RecordingMessageBoxes>());
  const std::string& path = Archive();
  size_t indexed = 0, bare = 0;
  bench_support::MeasureRatio(
      state, [&] { indexed = IndexWithParser(path); }, [&] { bare = BareHeaderLoop(path); });
  if (indexed != kRecords || bare != kRecords) state.SkipWithError("record counts differ");
}
BENCHMARK(BM_IndexArchive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
