#pragma once
// One compressed picture in memory to 32-bit B, G, R, X pixels, top-down.
// Holds no decoder state between pictures: each call runs one CJpegDecoder
// over a memory stream that is re-aimed at the new bytes.
#include <cstdint>
#include <memory>

#include "codecs/jpeg/jpeg_input_stream.h"

class CJpegImage {
 public:
  // fast: the player's decoder (AAN IDCT); otherwise the accurate one (LLM).
  explicit CJpegImage(bool fast = true);
  virtual ~CJpegImage();
  CJpegImage(const CJpegImage&) = delete;
  CJpegImage& operator=(const CJpegImage&) = delete;

  // Decodes `size` bytes at `data` into `out`, a picture `outWidth` pixels
  // wide with rows of outWidth × 4 bytes and as many rows as `capacity`
  // holds.  The JPEG's rows are clipped to that picture; the X bytes are
  // left as they are.  1 once decoding started (rows decoded before a fault
  // stand, the others keep their contents), 0 when nothing was written.
  uint32_t DecodeToBgrx(const uint8_t* data, int32_t size, uint8_t* out, uint32_t capacity, int32_t outWidth);
  // Why the last DecodeToBgrx wrote nothing (jpeg_errors.h); 0 after one
  // that started, and for arguments that leave nothing to write into.
  int32_t LastError() const { return lastError_; }

 private:
  bool fast_;
  int32_t lastError_ = 0;
  std::unique_ptr<CJpegMemoryStream> stream_;
};
