// vyx2avi ARCHIVE OUTPUT [--split-bytes N]: converts an archive to AVI files
// as the player's Convert AVI does, while the reader is still indexing it.
// Prints the path of each file it leaves, one per line (after a failure the
// last one ends with the whole chunks written before it); exit 0 at the
// archive's end, 1 with the reason on stderr on any failure, 2 on a bad
// command line.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "convert/avi_conversion.h"
#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/archive/archive_messages.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vyx2avi ARCHIVE OUTPUT [--split-bytes N]\n"
                       "  N: a new file starts at the first key frame after N bytes (4096 to 2147483647,\n"
                       "     default 1073741824); no file reaches 2N bytes\n");
  return 2;
}

bool ParseBytes(const char* text, uint64_t& bytes) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < CQxAviConversion::kMinSplitBytes ||
      value > CQxAviConversion::kMaxFileBytes)
    return false;
  bytes = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string archive, output;
  uint64_t splitBytes = CQxAviConversion::kDefaultSplitBytes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--split-bytes") == 0) {
      if (i + 1 >= argc || !ParseBytes(argv[++i], splitBytes)) return Usage();
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return Usage();
    } else if (archive.empty()) {
      archive = argv[i];
    } else if (output.empty()) {
      output = argv[i];
    } else {
      return Usage();
    }
  }
  if (archive.empty() || output.empty()) return Usage();

  auto boxes = std::make_shared<platform::RecordingMessageBoxes>();
  platform::ScopedMessageBoxBackend scope(boxes);
  auto window = std::make_shared<platform::RecordingMessageTarget>();
  CQxVyxParser reader;
  reader.SetNotifyWindow(window);
  if (reader.Open(archive) != 1) {
    std::fprintf(stderr, "vyx2avi: cannot open %s\n", archive.c_str());
    return 1;
  }

  CQxAviConversion conversion(reader, output, splitBytes);
  const std::atomic<bool> abortRequest{false};
  const ConversionResult result = conversion.RunConversion(abortRequest);
  reader.StopIndexThread();  // joins: every report has been posted
  for (const std::string& file : result.files) std::printf("%s\n", file.c_str());
  std::fflush(stdout);

  if (result.end == ConversionEnd::kFailed) {
    std::fprintf(stderr, "vyx2avi: %s\n", result.error.c_str());
    return 1;
  }
  // The reader's own report when nothing could be indexed.
  if (!boxes->Texts().empty()) {
    std::fprintf(stderr, "vyx2avi: %s: %s\n", archive.c_str(), boxes->Texts().front().c_str());
    return 1;
  }
  for (const platform::PostedMessage& message : window->Messages()) {
    if (message.message == WM_VYX_INDEX_ERROR) {
      std::fprintf(stderr,
                   "vyx2avi: %s: a damaged record ends the archive early; the files hold the records before it\n",
                   archive.c_str());
      return 1;
    }
  }
  return 0;
}
