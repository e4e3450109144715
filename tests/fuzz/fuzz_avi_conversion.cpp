// Fuzz target: random archives through the conversion worker into a
// scratch directory.  The input describes records (type, picture size,
// time step, payload) so that most of them pass the reader's magic test;
// a final stretch of raw bytes tests what follows the last whole record.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "convert/avi_conversion.h"
#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {

const std::filesystem::path& ScratchDirectory() {
  static const std::filesystem::path dir = [] {
    auto path = std::filesystem::temp_directory_path() / ("avi_conversion_fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] { std::filesystem::remove_all(ScratchDirectory()); });
    return path;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::ScopedMessageBoxBackend boxes(std::make_shared<platform::RecordingMessageBoxes>());
  const auto& dir = ScratchDirectory();
  const std::string archive = (dir / "in.vyx").string();
  fuzz::InputReader input(data, size);
  const uint64_t splitBytes = CQxAviConversion::kMinSplitBytes + input.U16() * 4u;
  {
    VyxWriter writer;
    if (!writer.Open(archive)) return 0;
    uint32_t time = 1700000000, usec = 0;
    static const uint16_t kSizes[] = {0, 1, 64, 352, 704, 65535};
    while (!input.Empty()) {
      const uint8_t kind = input.U8();
      if (kind == 0xFF) {  // raw bytes to the end
        const auto rest = input.Bytes(input.Left());
        writer.WriteBytes(rest.data(), rest.size());
        break;
      }
      VYX_FRAME_HEADER header = MakeFrameHeader(static_cast<uint8_t>(128 + kind % 22), time, usec);
      const uint8_t shape = input.U8();
      header.width = kSizes[shape % 6];
      header.height = kSizes[shape / 6 % 6];
      header.frameFlag = shape;
      const uint8_t step = input.U8();
      if (step & 0x80) {
        time += step & 0x7F ? (step & 0x7F) * 977u : 0x10000000u;  // gaps, and a leap
      } else {
        usec += step * 4000u;
        time += usec / 1000000;
        usec %= 1000000;
      }
      header.time = time;
      header.usec = usec;
      writer.Write(header, input.Bytes(input.U16() % 3000));
    }
    writer.Close();
  }

  CQxVyxParser reader;
  reader.SetNotifyWindow(std::make_shared<platform::RecordingMessageTarget>());
  if (reader.Open(archive) != 1) return 0;
  CQxAviConversion conversion(reader, (dir / "out.avi").string(), splitBytes);
  const std::atomic<bool> abortRequest{false};
  const ConversionResult result = conversion.RunConversion(abortRequest);
  for (const std::string& file : result.files) {
    if (std::filesystem::file_size(file) > std::min<uint64_t>(2 * splitBytes, CQxAviConversion::kMaxFileBytes))
      std::abort();
    std::filesystem::remove(file);
  }
  return 0;
}
