// vyxinfo ARCHIVE [--md5]: indexes an archive with the player's reader and
// prints what the reader hands out, one line per record.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/player_messages.h"
#include "player/vyx_parser.h"
#include "tools/common/md5.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vyxinfo ARCHIVE [--md5]\n");
  return 2;
}

// failed: nothing could be indexed ("Open Vyx File Error!"); error: a bad
// record stopped indexing; done: the index was completed.
const char* IndexStatus(const platform::RecordingMessageTarget& window,
                        const platform::RecordingMessageBoxes& boxes) {
  if (!boxes.Texts().empty()) return "failed";
  const auto messages = window.Messages();
  if (!messages.empty() && messages.front().message == WM_VYX_INDEX_ERROR) return "error";
  for (const auto& m : messages)
    if (m.message == WM_VYX_INDEX_DONE) return "done";
  return "failed";
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  bool md5 = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--md5") == 0) {
      md5 = true;
    } else if (argv[i][0] == '-' || !path.empty()) {
      return Usage();
    } else {
      path = argv[i];
    }
  }
  if (path.empty()) return Usage();

  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  auto window = std::make_shared<platform::RecordingMessageTarget>();
  CQxVyxParser parser;
  parser.SetNotifyWindow(window);
  if (parser.Open(path) != 1) {
    std::fprintf(stderr, "vyxinfo: cannot open %s\n", path.c_str());
    return 1;
  }
  while (parser.IsIndexing()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  parser.StopIndexThread();  // joins: every report has been posted

  std::printf("records=%zu channels=0x%" PRIx32 " duration=%" PRIu32 " status=%s\n",
              parser.GetFrameCount(), parser.GetChannelMask(), parser.GetDuration(),
              IndexStatus(*window, *boxes));
  parser.Rewind();
  FrameReadout out;
  for (size_t index = 0;; ++index) {
    const int result = parser.ReadNextFrame(out);
    if (result == -1) {
      std::fprintf(stderr, "vyxinfo: out of memory at record %zu\n", index);
      return 1;
    }
    if (result != 1) break;
    const LOCAL_FRAME_INDEX& r = out.frame->index;
    std::printf("%zu type=%u ch=%u w=%u h=%u time=%" PRIu32 ".%06" PRIu32 " len=%zu class=%d key=%d",
                index, r.header.type, r.header.channel, r.header.width, r.header.height,
                r.header.time, r.header.usec, out.frame->payload.size(), r.codecClass,
                IsKeyFrameType(r.header.type) ? 1 : 0);
    if (md5) std::printf(" md5=%s", Md5::Hex(out.frame->payload.data(), out.frame->payload.size()).c_str());
    std::printf("\n");
  }
  return 0;
}
