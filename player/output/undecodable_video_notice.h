#pragma once
// Tells the user, once per opened archive, that its video cannot be shown:
// when the first three key records decoded all came to a refusal or an
// error.  Anything else among them (a picture, or one the decoder still
// holds back) settles the archive without a word.  The text names the
// coding and the decoder's reason; it goes through the platform's message
// boxes, which never make the play thread wait.  Playback and sound go on.
#include <mutex>
#include <string>

#include "player/archive/vyx_format.h"
#include "player/decode/decode_outcome.h"

class UndecodableVideoNotice {
 public:
  static constexpr int kKeyRecordsJudged = 3;

  // User-interface thread: a new archive was opened.
  void StartArchive();
  // Play thread: what one record's decode came to.
  void Observe(const VYX_FRAME_HEADER& header, const DecodeOutcome& outcome);

  // The message for an archive whose key records of this type all came to
  // `outcome`.
  static std::string Text(uint8_t type, const DecodeOutcome& outcome);

 private:
  std::mutex mutex_;
  int failedKeyRecords_ = 0;
  bool settled_ = false;
};
