#pragma once
// What one video payload's decode came to, as its decoder kind tells it:
// a picture, nothing yet, or why there is none, with the codec's own code
// and a few words on what it means.  The video output hands one out per
// record decoded; the tools print the told ones, the player tells the user
// when an archive's video cannot be shown at all.
#include <cstdint>
#include <string>

struct DecodeOutcome {
  enum class Verdict {
    kPicture,   // a picture was written
    kPending,   // none yet, nothing wrong: the decoder holds it back
    kSkipped,   // a picture the decoder passes over by design (MPEG-4 B-VOPs)
    kRefused,   // what the decoder does not support
    kError,     // damaged data
    kWithheld,  // decoded, or decodable, but predicted from a picture not decoded
  };
  // How the code is written: signed decimal (MPEG-4, JPEG, FFmpeg's
  // AVERROR), or 0x%08x (the own H.264 library's codes).
  enum class CodeStyle { kDecimal, kHex };

  Verdict verdict = Verdict::kPicture;
  int64_t code = 0;
  CodeStyle style = CodeStyle::kDecimal;
  std::string meaning;

  static DecodeOutcome Picture() { return {}; }
  static DecodeOutcome Pending() { return {Verdict::kPending, 0, CodeStyle::kDecimal, {}}; }

  // Refused, error or withheld: what is worth a line or a message.
  bool IsTold() const {
    return verdict == Verdict::kRefused || verdict == Verdict::kError || verdict == Verdict::kWithheld;
  }
  // "refused", "error", "withheld", ... as the tools print them.
  const char* VerdictWord() const;
  // The code as the codec writes it.
  std::string CodeText() const;
};
