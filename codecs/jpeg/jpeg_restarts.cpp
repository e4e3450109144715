// Restart intervals: each starts the predictors and the end-of-band run
// afresh after its RSTn marker.
#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_markers.h"

using jpeg::Fail;
using namespace jpeg::marker;

namespace {

constexpr int kRestartSearch = 1536;

}  // namespace

void CJpegDecoder::StartRestarts() {
  for (Component& component : components_) component.predictor = 0;
  eobRun_ = 0;
  restartsToGo_ = restartInterval_;
  nextRestart_ = 0;
}

void CJpegDecoder::ProcessRestart() {
  int budget = kRestartSearch;
  uint8_t byte = source_->Raw();
  while (byte != 0xFF) {
    if (--budget <= 0) Fail(jpeg::kJpegRestart);
    byte = source_->Raw();
  }
  do {
    byte = source_->Raw();
    if (byte != 0xFF) break;
    if (--budget <= 0) Fail(jpeg::kJpegRestart);
  } while (true);
  if (byte != kRst0 + nextRestart_) Fail(jpeg::kJpegRestart);
  for (Component& component : components_) component.predictor = 0;
  eobRun_ = 0;
  restartsToGo_ = restartInterval_;
  nextRestart_ = (nextRestart_ + 1) & 7;
}
