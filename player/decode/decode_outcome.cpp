#include "player/decode/decode_outcome.h"

#include <cinttypes>
#include <cstdio>

const char* DecodeOutcome::VerdictWord() const {
  switch (verdict) {
    case Verdict::kPicture: return "picture";
    case Verdict::kPending: return "pending";
    case Verdict::kSkipped: return "skipped";
    case Verdict::kRefused: return "refused";
    case Verdict::kError: return "error";
    case Verdict::kWithheld: return "withheld";
  }
  return "error";
}

std::string DecodeOutcome::CodeText() const {
  char text[24];
  if (style == CodeStyle::kHex) {
    std::snprintf(text, sizeof text, "0x%08" PRIx32, static_cast<uint32_t>(code));
  } else {
    std::snprintf(text, sizeof text, "%" PRId64, code);
  }
  return text;
}
