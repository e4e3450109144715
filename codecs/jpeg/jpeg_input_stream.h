#pragma once
// Where the decoder takes its compressed bytes from.  The memory stream is a
// view of a block the caller owns; it never frees it.
#include <cstdint>

class CJpegInputStream {
 public:
  virtual ~CJpegInputStream() = default;
  // Copies up to `max` bytes into `buffer`; sets *eof once fewer than `max`
  // were left.  -1 when there is nothing to read from.
  virtual int32_t Read(uint8_t* buffer, int32_t max, bool* eof) = 0;
  // Called once before the first read and once when the decoder lets go.
  virtual void Open() {}
  virtual void Close() {}
};

class CJpegMemoryStream : public CJpegInputStream {
 public:
  CJpegMemoryStream() = default;
  // Aims the stream at a new block and starts again at its first byte.
  void Reset(const uint8_t* data, int32_t size);
  int32_t Read(uint8_t* buffer, int32_t max, bool* eof) override;

 private:
  const uint8_t* data_ = nullptr;
  int32_t size_ = 0;
  int32_t position_ = 0;
};
