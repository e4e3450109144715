// Crafted archives cost the reader bounded memory: each is indexed and read
// to the end in a child process whose peak resident size is measured.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/archive/archive_messages.h"
#include "player/archive/vyx_parser.h"
#include "tests/support/child_memory.h"
#include "tests/support/hostile_archives.h"
#include "tests/support/test_support.h"

// AddressSanitizer keeps freed blocks in a quarantine (256 MB by default)
// that would count as the reader's memory here.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

namespace {

using namespace std::chrono_literals;
constexpr uint64_t kPeakLimitKiB = 256 * 1024;

// In the child: index, read every record, check each payload's leading
// index, then print what happened.
int ReadThrough(const std::string& path) {
  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  auto window = std::make_shared<platform::RecordingMessageTarget>();
  CQxVyxParser parser;
  parser.SetNotifyWindow(window);
  if (parser.Open(path) != 1) return 10;
  while (parser.IsIndexing()) std::this_thread::sleep_for(1ms);
  parser.StopIndexThread();
  parser.Rewind();
  size_t read = 0, mismatched = 0;
  FrameReadout out;
  int result;
  while ((result = parser.ReadNextFrame(out)) == 1) {
    uint32_t index = 0;
    const auto& payload = out.frame->payload;
    if (payload.size() >= sizeof index) {
      std::memcpy(&index, payload.data(), sizeof index);
      if (index != read) ++mismatched;
    }
    ++read;
  }
  bool indexError = false;
  for (const auto& m : window->Messages()) indexError |= m.message == WM_VYX_INDEX_ERROR;
  std::printf("indexed=%zu read=%zu mismatched=%zu error=%d end=%d\n", parser.GetFrameCount(), read,
              mismatched, indexError ? 1 : 0, result == 0 && out.endOfFile ? 1 : 0);
  return 0;
}

TEST(ReaderMemory, CraftedArchivesCostBoundedMemory) {
  testing_support::ScratchDir dir("reader-memory");
  for (const auto& archive : testing_support::WriteHostileArchives(dir.path())) {
    SCOPED_TRACE(archive.name);
    const auto run = testing_support::RunInChild([&] { return ReadThrough(archive.path); });
    ASSERT_EQ(run.exitCode, 0);
    const size_t n = archive.goodRecords;
    EXPECT_EQ(run.output, "indexed=" + std::to_string(n) + " read=" + std::to_string(n) +
                              " mismatched=0 error=" + (archive.corrupt ? "1" : "0") + " end=1\n");
    EXPECT_LT(run.peakKiB, kPeakLimitKiB);
    std::printf("%s: peak %llu KiB\n", archive.name.c_str(), static_cast<unsigned long long>(run.peakKiB));
  }
}

}  // namespace
