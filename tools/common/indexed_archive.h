#pragma once
// What the archive tools share: their command line (an archive and one
// optional flag) and an archive opened with the player's reader, indexed
// to the end, with the reader's reports recorded instead of shown.
#include <memory>
#include <string>

#include "platform/message_box.h"
#include "platform/recording_message_target.h"
#include "player/archive/vyx_parser.h"

// TOOL ARCHIVE [FLAG]: false on anything else.
bool ParseArchiveArguments(int argc, char** argv, const char* flag, std::string& path, bool& flagGiven);

class IndexedArchive {
 public:
  IndexedArchive();
  // Opens and waits until the index thread has ended and reported; false
  // when the reader cannot open the file.  The cursor is on the first record.
  bool Open(const std::string& path);
  CQxVyxParser& Parser() { return parser_; }
  const platform::RecordingMessageTarget& Window() const { return *window_; }
  const platform::RecordingMessageBoxes& Boxes() const { return *boxes_; }

 private:
  std::shared_ptr<platform::RecordingMessageBoxes> boxes_;
  platform::ScopedMessageBoxBackend scope_;
  std::shared_ptr<platform::RecordingMessageTarget> window_;
  CQxVyxParser parser_;
};
