// vyxinfo ARCHIVE [--md5]: indexes an archive with the player's reader and
// prints what the reader hands out, one line per record.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "player/archive/archive_messages.h"
#include "tools/common/indexed_archive.h"
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
  if (!ParseArchiveArguments(argc, argv, "--md5", path, md5)) return Usage();
  IndexedArchive archive;
  if (!archive.Open(path)) {
    std::fprintf(stderr, "vyxinfo: cannot open %s\n", path.c_str());
    return 1;
  }
  CQxVyxParser& parser = archive.Parser();

  std::printf("records=%zu channels=0x%" PRIx32 " duration=%" PRIu32 " status=%s\n",
              parser.GetFrameCount(), parser.GetChannelMask(), parser.GetDuration(),
              IndexStatus(archive.Window(), archive.Boxes()));
  // Payloads are read only for their checksums: a listing of a large
  // archive costs its headers, not its size.
  FrameReadout out;
  LOCAL_FRAME_INDEX headerOnly;
  for (size_t index = 0;; ++index) {
    const int result = md5 ? parser.ReadNextFrame(out) : parser.ReadNextRecord(headerOnly, out.endOfFile);
    if (result == -1) {
      std::fprintf(stderr, "vyxinfo: out of memory at record %zu\n", index);
      return 1;
    }
    if (result != 1) break;
    const LOCAL_FRAME_INDEX& r = md5 ? out.frame->index : headerOnly;
    std::printf("%zu type=%u ch=%u w=%u h=%u time=%" PRIu32 ".%06" PRIu32 " len=%" PRIu32 " class=%d key=%d",
                index, r.header.type, r.header.channel, r.header.width, r.header.height,
                r.header.time, r.header.usec, r.header.length, r.codecClass,
                IsKeyFrameType(r.header.type) ? 1 : 0);
    if (md5) std::printf(" md5=%s", Md5::Hex(out.frame->payload.data(), out.frame->payload.size()).c_str());
    std::printf("\n");
  }
  return 0;
}
