#pragma once
// Walks an archive's record headers front to back.  Reads ahead in blocks
// while records are small, so that indexing costs less than one read per
// record, and reads little when large payloads are skipped anyway.
#include <cstdint>
#include <vector>

#include "player/archive/archive_file.h"
#include "player/archive/vyx_format.h"

class RecordScanner {
 public:
  explicit RecordScanner(const ArchiveFile& file) : file_(file) {}

  // Copies the 48 header bytes at `position`; false when fewer remain.
  bool ReadHeader(uint64_t position, uint8_t (&header)[VYX_HEADER_SIZE]);

 private:
  static constexpr size_t kBlock = 64 * 1024;
  static constexpr size_t kSmallRead = 512;
  static constexpr uint64_t kSmallRecord = 4096;

  const ArchiveFile& file_;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;
  uint64_t lastPosition_ = 0;
};
