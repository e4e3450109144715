#include "player/output/undecodable_video_notice.h"

#include "platform/message_box.h"

namespace {

const char* CodingName(uint8_t type) {
  switch (CodecClassOfType(type)) {
    case CODEC_CLASS_MPEG4: return "MPEG-4 Part 2";
    case CODEC_CLASS_H264:
    case CODEC_CLASS_QX264: return "H.264";
    case CODEC_CLASS_JPEG: return "JPEG";
    default: return "video";
  }
}

}  // namespace

void UndecodableVideoNotice::StartArchive() {
  std::lock_guard lock(mutex_);
  failedKeyRecords_ = 0;
  settled_ = false;
}

void UndecodableVideoNotice::Observe(const VYX_FRAME_HEADER& header, const DecodeOutcome& outcome) {
  if (!IsKeyFrameType(header.type)) return;
  {
    std::lock_guard lock(mutex_);
    if (settled_) return;
    const bool failed =
        outcome.verdict == DecodeOutcome::Verdict::kRefused || outcome.verdict == DecodeOutcome::Verdict::kError;
    if (failed) ++failedKeyRecords_;
    if (failed && failedKeyRecords_ < kKeyRecordsJudged) return;
    settled_ = true;
    if (!failed) return;
  }
  platform::ShowMessageBox(Text(header.type, outcome));
}

std::string UndecodableVideoNotice::Text(uint8_t type, const DecodeOutcome& outcome) {
  const char* what = outcome.verdict == DecodeOutcome::Verdict::kRefused ? "refused" : "failed on";
  return std::string("The ") + CodingName(type) + " video of this archive cannot be shown.\nThe decoder " + what +
         " its key frames: " + outcome.meaning + " (code " + outcome.CodeText() + ").";
}
