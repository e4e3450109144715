#include "player/archive/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

std::shared_ptr<ArchiveFile> ArchiveFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<ArchiveFile>(new ArchiveFile(fd, static_cast<int64_t>(st.st_size)));
}

ArchiveFile::~ArchiveFile() { ::close(fd_); }

size_t ArchiveFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  size_t done = 0;
  auto* out = static_cast<unsigned char*>(buffer);
  while (done < size && offset + done <= kMaxOffset) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}
