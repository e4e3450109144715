// Converting a 256 MB H.264 + voice archive on tmpfs, against copying the
// same file with 1 MiB reads and writes (the least any conversion must do);
// and re-coding G.723 as IMA ADPCM, in times real time.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "bench/support/ratio.h"
#include "convert/avi_conversion.h"
#include "convert/g723_to_adpcm.h"
#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {

std::filesystem::path Scratch() {
  // tmpfs when there is one: the figure is about the program, not the disk.
  const std::filesystem::path shm = "/dev/shm";
  const std::filesystem::path dir =
      (std::filesystem::is_directory(shm) ? shm : std::filesystem::path(ORLENTA_BINARY_DIR) / "scratch") /
      ("avi_conversion_bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  return dir;
}

// 25 pictures a second (a 60 KB key frame each second, 8 KB otherwise) and
// 320 bytes of voice with each, up to 256 MB.
std::filesystem::path Archive(const std::filesystem::path& dir) {
  const auto path = dir / "archive.vyx";
  std::mt19937 random(7);
  std::vector<uint8_t> key(60000), predicted(8000), voice(320);
  for (auto* bytes : {&key, &predicted, &voice})
    for (uint8_t& b : *bytes) b = static_cast<uint8_t>(random());
  VyxWriter writer;
  writer.Open(path.string());
  uint64_t written = 0;
  for (uint32_t i = 0; written < (uint64_t{256} << 20); ++i) {
    const bool isKey = i % 25 == 0;
    VYX_FRAME_HEADER header =
        MakeFrameHeader(isKey ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, 1700000000u + i / 25, i % 25 * 40000);
    header.width = 1280;
    header.height = 720;
    writer.Write(header, isKey ? key : predicted);
    VYX_FRAME_HEADER sound = MakeFrameHeader(FRAME_TYPE_VOICE, header.time, header.usec);
    writer.Write(sound, voice);
    written += 2 * VYX_HEADER_SIZE + (isKey ? key.size() : predicted.size()) + voice.size();
  }
  writer.Close();
  return path;
}

void Copy(const std::filesystem::path& from, const std::filesystem::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> buffer(1 << 20);
  for (ssize_t got; (got = ::read(in, buffer.data(), buffer.size())) > 0;)
    if (::write(out, buffer.data(), static_cast<size_t>(got)) != got) break;
  ::close(out);
  ::close(in);
}

void BM_ConvertArchive(benchmark::State& state) {
  platform::ScopedMessageBoxBackend quiet(std::make_shared<platform::RecordingMessageBoxes>());
  const auto dir = Scratch();
  const auto archive = Archive(dir);
  bool ok = true;
  bench_support::MeasureRatio(
      state,
      [&] {
        CQxVyxParser reader;
        reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
        reader.Open(archive.string());
        CQxAviConversion conversion(reader, (dir / "out.avi").string());
        const std::atomic<bool> abortRequest{false};
        ok = ok && conversion.RunConversion(abortRequest).end == ConversionEnd::kFinished;
        std::filesystem::remove(dir / "out.avi");
      },
      [&] {
        Copy(archive, dir / "copy.vyx");
        std::filesystem::remove(dir / "copy.vyx");
      });
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(archive)) / 1e6;
  std::filesystem::remove_all(dir);
  if (!ok) state.SkipWithError("the conversion failed");
}
BENCHMARK(BM_ConvertArchive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Ten minutes of G.723 in 768-byte records.
void BM_G723ToAdpcm(benchmark::State& state) {
  std::mt19937 random(3);
  std::vector<uint8_t> payload(768);
  for (uint8_t& b : payload) b = static_cast<uint8_t>(random());
  constexpr double kSeconds = 600;
  const size_t records = static_cast<size_t>(kSeconds * 3000 / payload.size());
  std::vector<uint8_t> blocks;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    G723ToAdpcm coder;
    for (size_t i = 0; i < records; ++i) {
      blocks.clear();
      coder.Push(payload.data(), payload.size(), blocks);
      benchmark::DoNotOptimize(blocks.data());
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(elapsed);
    state.counters["times_real_time"] = kSeconds / elapsed;
  }
}
BENCHMARK(BM_G723ToAdpcm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
