#include "tests/support/hostile_archives.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "tools/vyxmux/vyx_writer.h"

namespace testing_support {
namespace {

constexpr uint32_t kT0 = 1700000000;

// Writes headers and payload starts at their offsets; the rest stays a hole.
class SparseArchive {
 public:
  explicit SparseArchive(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {
    if (fd_ < 0) throw std::runtime_error("cannot create " + path.string());
  }
  ~SparseArchive() { ::close(fd_); }
  SparseArchive(const SparseArchive&) = delete;
  SparseArchive& operator=(const SparseArchive&) = delete;

  // A record of `length` payload bytes whose payload starts with `index`.
  void Append(uint32_t index, uint32_t length, uint8_t type = FRAME_TYPE_H264_I) {
    VYX_FRAME_HEADER header = MakeFrameHeader(type, kT0 + index);
    header.length = length;
    header.width = 352;
    header.height = 288;
    Put(&header, sizeof header);
    if (length >= sizeof index) Put(&index, sizeof index, end_);
    end_ += length;
  }
  // Ends the file at `size` bytes (holes included).
  void Extend(uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw std::runtime_error("ftruncate");
  }
  uint64_t End() const { return end_; }

 private:
  void Put(const void* data, size_t size) {
    Put(data, size, end_);
    end_ += size;
  }
  void Put(const void* data, size_t size, uint64_t at) {
    if (::pwrite(fd_, data, size, static_cast<off_t>(at)) != static_cast<ssize_t>(size))
      throw std::runtime_error("pwrite");
  }

  int fd_;
  uint64_t end_ = 0;
};

constexpr uint32_t kMiB = 1024 * 1024;

HostileArchive BadLength(const std::filesystem::path& dir) {
  HostileArchive a{"bad-length", dir / "bad-length.vyx", 50, true};
  SparseArchive file(a.path);
  for (uint32_t i = 0; i < 100; ++i) file.Append(i, i == 50 ? 0xFFFFFFF0u : kMiB);
  file.Extend(100ull * (kMiB + VYX_HEADER_SIZE));
  return a;
}

HostileArchive TwoGiBLength(const std::filesystem::path& dir) {
  HostileArchive a{"2gib-length", dir / "2gib-length.vyx", 3, true};
  SparseArchive file(a.path);
  for (uint32_t i = 0; i < 3; ++i) file.Append(i, 1000);
  file.Append(3, 0x80000000u);
  file.Extend(file.End());
  return a;
}

HostileArchive FiveGiBChain(const std::filesystem::path& dir) {
  constexpr uint64_t kTotal = 5ull << 30;
  HostileArchive a{"5gib-chain", dir / "5gib-chain.vyx", kTotal / VYX_MAX_PAYLOAD_LENGTH, false};
  SparseArchive file(a.path);
  for (uint32_t i = 0; i < a.goodRecords; ++i) file.Append(i, VYX_MAX_PAYLOAD_LENGTH);
  file.Extend(file.End());
  return a;
}

HostileArchive EmptyFlood(const std::filesystem::path& dir) {
  HostileArchive a{"empty-flood", dir / "empty-flood.vyx", 200000, false};
  VyxWriter writer;
  if (!writer.Open(a.path)) throw std::runtime_error("cannot create " + a.path.string());
  for (size_t i = 0; i < a.goodRecords; ++i)
    writer.WriteRecord(MakeFrameHeader(i % 25 ? FRAME_TYPE_H264_P : FRAME_TYPE_H264_I,
                                       kT0 + static_cast<uint32_t>(i / 25)),
                       nullptr, 0);
  if (!writer.Close()) throw std::runtime_error("cannot write " + a.path.string());
  return a;
}

}  // namespace

std::vector<HostileArchive> WriteHostileArchives(const std::filesystem::path& dir) {
  return {BadLength(dir), TwoGiBLength(dir), FiveGiBChain(dir), EmptyFlood(dir)};
}

}  // namespace testing_support
