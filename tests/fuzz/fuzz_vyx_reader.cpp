// The archive reader on any file: indexed to the end, read to the end,
// then sought, stepped back and listed again, as the play thread and the
// tools do.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/archive/vyx_parser.h"

namespace {

const std::string& ArchivePath() {
  static const std::string path = [] {
    std::atexit([] { std::remove(ArchivePath().c_str()); });
    return (std::filesystem::temp_directory_path() / ("fuzz-vyx-reader-" + std::to_string(::getpid()) + ".vyx"))
        .string();
  }();
  return path;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Reads up to `limit` frames; every payload is what the index promised.
void ReadFrames(CQxVyxParser& parser, size_t limit) {
  FrameReadout out;
  for (size_t i = 0; i < limit && parser.ReadNextFrame(out) == 1; ++i) {
    Check(out.frame->payload.size() == out.frame->index.header.length);
    Check(out.frame->payload.size() <= VYX_MAX_PAYLOAD_LENGTH);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::FILE* file = std::fopen(ArchivePath().c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  auto window = std::make_shared<platform::RecordingMessageTarget>();
  CQxVyxParser parser;
  parser.SetNotifyWindow(window);
  if (parser.Open(ArchivePath()) != 1) return 0;
  while (parser.IsIndexing()) std::this_thread::yield();
  parser.StopIndexThread();

  const size_t records = parser.GetFrameCount();
  parser.Rewind();
  ReadFrames(parser, records + 2);
  const uint32_t duration = parser.GetDuration();
  for (const uint32_t seconds : {0u, 1u, duration / 2, duration, duration + 7, 0xFFFFFFFFu}) {
    parser.SeekToTime(seconds);
    ReadFrames(parser, 3);
    parser.StepBackToKeyFrame();
    ReadFrames(parser, 2);
  }
  parser.Rewind();
  LOCAL_FRAME_INDEX record;
  bool end = false;
  for (size_t i = 0; i <= records && parser.ReadNextRecord(record, end) == 1; ++i)
    Check(record.header.length <= VYX_MAX_PAYLOAD_LENGTH);
  return 0;
}
