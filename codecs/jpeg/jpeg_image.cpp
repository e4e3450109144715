#include "codecs/jpeg/jpeg_image.h"

#include <algorithm>
#include <new>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_kernels.h"

CJpegImage::CJpegImage(bool fast) : fast_(fast) {}

CJpegImage::~CJpegImage() = default;

uint32_t CJpegImage::DecodeToBgrx(const uint8_t* data, int32_t size, uint8_t* out, uint32_t capacity,
                                  int32_t outWidth) {
  lastError_ = 0;
  if (out == nullptr || outWidth <= 0) return 0;
  if (data == nullptr || size <= 0) {
    lastError_ = jpeg::kJpegNoStartOfImage;
    return 0;
  }
  const uint64_t outRowBytes = static_cast<uint64_t>(outWidth) * 4;
  const uint64_t outRows = capacity / outRowBytes;
  if (outRows == 0) return 0;
  try {
    if (!stream_) stream_ = std::make_unique<CJpegMemoryStream>();
    stream_->Reset(data, size);
    CJpegDecoder decoder(stream_.get(), fast_);
    if (decoder.ErrorCode() != 0 || decoder.StartDecompress() != 0) {
      lastError_ = decoder.ErrorCode();
      return 0;
    }
    const bool grey = decoder.Components() == 1;
    const auto store = jpeg::kernels::Active().storeBgr;
    const int32_t columns = std::min(decoder.Width(), outWidth);
    for (uint64_t y = 0; y < outRows; ++y) {
      uint8_t* row = nullptr;
      int32_t rowBytes = 0;
      if (decoder.ReadScanline(&row, &rowBytes) != 0) break;
      uint8_t* pixel = out + y * outRowBytes;
      if (grey) {
        for (int32_t x = 0; x < columns; ++x, pixel += 4) pixel[0] = pixel[1] = pixel[2] = row[x];
      } else {
        store(row, pixel, columns);
      }
    }
  } catch (const std::bad_alloc&) {
    lastError_ = jpeg::kJpegOutOfMemory;
    return 0;
  }
  return 1;
}
