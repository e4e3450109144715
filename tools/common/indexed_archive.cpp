#include "tools/common/indexed_archive.h"

#include <chrono>
#include <cstring>
#include <thread>

bool ParseArchiveArguments(int argc, char** argv, const char* flag, std::string& path, bool& flagGiven) {
  path.clear();
  flagGiven = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], flag) == 0) {
      flagGiven = true;
    } else if (argv[i][0] == '-' || !path.empty()) {
      return false;
    } else {
      path = argv[i];
    }
  }
  return !path.empty();
}

IndexedArchive::IndexedArchive()
    : boxes_(std::make_shared<platform::RecordingMessageBoxes>()),
      scope_(boxes_),
      window_(std::make_shared<platform::RecordingMessageTarget>()) {
  parser_.SetNotifyWindow(window_);
}

bool IndexedArchive::Open(const std::string& path) {
  if (parser_.Open(path) != 1) return false;
  while (parser_.IsIndexing()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  parser_.StopIndexThread();  // joins: every report has been posted
  parser_.Rewind();
  return true;
}
