#pragma once
// A read-only archive file shared by the reader's users: positional reads
// (no shared file position), closed when the last user lets go.
#include <cstdint>
#include <memory>
#include <string>

class ArchiveFile {
 public:
  // Null when the file cannot be opened.
  static std::shared_ptr<ArchiveFile> Open(const std::string& path);
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  // Length at the time of opening.
  int64_t Length() const { return length_; }
  // Reads up to `size` bytes at `offset`; returns the bytes read (short at
  // the end of the file or on a read error).
  size_t ReadAt(uint64_t offset, void* buffer, size_t size) const;

 private:
  ArchiveFile(int fd, int64_t length) : fd_(fd), length_(length) {}
  int fd_;
  int64_t length_;
};
