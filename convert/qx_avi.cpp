#include "convert/qx_avi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/trace.h"

namespace {

constexpr uint32_t FourCc(const char (&text)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

constexpr uint32_t kVideoChunk = FourCc("00dc");
constexpr uint32_t kDroppedFrame = FourCc("00db");
constexpr uint32_t kAudioChunk = FourCc("01wb");
constexpr uint32_t kEntryBytes = sizeof(AviIndexEntry);
constexpr size_t kWriteBuffer = size_t{1} << 20;
static_assert(kEntryBytes == 16);

// Little-endian fields at fixed places of the header.
class HeaderBytes {
 public:
  explicit HeaderBytes(size_t size) : bytes_(size, 0) {}
  void U16(size_t at, uint32_t value) {
    bytes_[at] = static_cast<uint8_t>(value);
    bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  void U32(size_t at, uint32_t value) {
    U16(at, value & 0xFFFF);
    U16(at + 2, value >> 16);
  }
  void Id(size_t at, const char (&text)[5]) { U32(at, FourCc(text)); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

struct AudioFormat {
  uint16_t tag, bitsPerSample, blockAlign, extraSize, samplesPerBlock;
  uint32_t bytesPerSecond;
};

AudioFormat AudioFormatOf(uint16_t type) {
  if (type == AVI_ADPCM) return {17, 4, 256, 2, 505, 4055};
  return {7, 8, 1, 0, 0, 8000};  // mu-law, also for a file without sound
}

bool WriteAt(int fd, const std::vector<uint8_t>& bytes, uint64_t offset) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

uint64_t LengthOf(int fd) {
  struct stat status;
  return ::fstat(fd, &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

// Removes `path` when it still names the file open as `fd`.
void RemoveIfSame(const std::string& path, int fd) {
  struct stat open, named;
  if (::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
      open.st_ino == named.st_ino)
    ::unlink(path.c_str());
}

}  // namespace

CQxAvi::~CQxAvi() { Close(); }

int64_t CQxAvi::Milliseconds(uint32_t seconds, uint32_t microseconds) {
  return static_cast<int64_t>(seconds) * 1000 + microseconds / 1000;
}

int64_t CQxAvi::MissingFrames(uint32_t seconds, uint32_t microseconds) const {
  const int64_t elapsed = Milliseconds(seconds, microseconds) - startMs_;
  if (elapsed <= 0) return 0;
  const int64_t expected = elapsed * kFrameRate / 1000;
  return expected > framesSinceStart_ ? expected - framesSinceStart_ : 0;
}

uint64_t CQxAvi::FileSize() const {
  return kHeaderBytes + chunkBytes_ + 8 + static_cast<uint64_t>(index_.size()) * kEntryBytes;
}

uint64_t CQxAvi::GrowthOf(uint32_t size, uint32_t seconds, uint32_t microseconds) const {
  const uint64_t padded = size + (size & 1u);
  return 8 + padded + kEntryBytes +
         static_cast<uint64_t>(MissingFrames(seconds, microseconds)) * kEntryBytes;
}

void CQxAvi::Clear() {
  index_.clear();
  file_ = nullptr;
  chunkBytes_ = 0;
  videoFrames_ = 0;
  audioChunks_ = 0;
  audioBytes_ = 0;
  framesSinceStart_ = 0;
  audioType_ = 0;
}

int CQxAvi::Fail(int result, const char* what, bool outOfRoom) {
  lastError_ = std::strerror(errno);
  platform::Trace("CQxAvi: %s %s failed-%s\n", what, path_.c_str(), lastError_.c_str());
  if (file_) FinishUnfinished(outOfRoom);
  return result;
}

std::vector<uint8_t> CQxAvi::IndexBytes() const {
  const size_t size = index_.size() * kEntryBytes;
  std::vector<uint8_t> bytes(8 + size);
  const uint8_t head[8] = {'i', 'd', 'x', '1', static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                           static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  std::memcpy(bytes.data(), head, sizeof head);
  if (size) std::memcpy(bytes.data() + 8, index_.data(), size);
  return bytes;
}

void CQxAvi::KeepWholeChunks(uint64_t dataLength, uint64_t room) {
  size_t count = index_.size();
  uint64_t end = kHeaderBytes + chunkBytes_;
  // A chunk's "00db" entries carry its offset and go with it.
  while (count > 0 && (end > dataLength || end + 8 + count * kEntryBytes > room)) {
    const uint32_t offset = index_[count - 1].offset;
    while (count > 0 && index_[count - 1].offset == offset) --count;
    end = kHeaderBytes - 4 + offset;
  }
  index_.resize(count);
  chunkBytes_ = end - kHeaderBytes;
  videoFrames_ = audioChunks_ = 0;
  audioBytes_ = 0;
  for (const AviIndexEntry& entry : index_) {
    if (entry.id == kAudioChunk) {
      ++audioChunks_;
      audioBytes_ += entry.size;
    } else {
      ++videoFrames_;
    }
  }
}

bool CQxAvi::FinishUnfinished(bool roomIsLength) {
  keptUnfinished_ = false;
  // Closing the stream writes what of its buffer it can; what reached the
  // file is then finished through a descriptor of its own.
  const int fd = ::dup(::fileno(file_));
  const bool flushed = std::fclose(file_) == 0;
  file_ = nullptr;
  struct stat status;
  if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {  // nothing to cut or remove
    if (fd >= 0) ::close(fd);
    Clear();
    return false;
  }
  uint64_t dataLength = static_cast<uint64_t>(status.st_size);
  uint64_t room = roomIsLength || !flushed ? dataLength : UINT64_MAX;
  bool finished = false;
  bool hasFrame = false;
  // Each try that fails leaves less room for the next.
  for (int attempt = 0; attempt < 4 && !finished; ++attempt) {
    KeepWholeChunks(dataLength, room);
    hasFrame = false;
    for (const AviIndexEntry& entry : index_) hasFrame |= entry.id == kVideoChunk;
    if (!hasFrame) break;
    const uint64_t end = kHeaderBytes + chunkBytes_;
    const std::vector<uint8_t> index = IndexBytes();
    finished = WriteAt(fd, index, end) && ::ftruncate(fd, static_cast<off_t>(end + index.size())) == 0 &&
               WriteAt(fd, Header(false), 0);
    if (!finished) {
      lastError_ = std::strerror(errno);
      dataLength = end;
      room = std::min(LengthOf(fd), end + index.size() - 1);
    }
  }
  if (!hasFrame) {
    platform::Trace("CQxAvi: %s holds no frame: removed\n", path_.c_str());
    RemoveIfSame(path_, fd);
  } else {
    keptUnfinished_ = true;
    platform::Trace(finished ? "CQxAvi: %s ends with its last whole chunk\n" : "CQxAvi: %s could not be finished\n",
                    path_.c_str());
  }
  ::close(fd);
  Clear();
  return finished || !hasFrame;
}

int CQxAvi::CloseUnfinished() {
  if (!file_) return 0;
  return FinishUnfinished(false) ? 0 : -4;
}

std::vector<uint8_t> CQxAvi::Header(bool provisional) const {
  const char(&handler)[5] = videoCodec_ == AVI_CHUNK_MPEG4  ? "DIVX"
                            : videoCodec_ == AVI_CHUNK_H264 ? "H264"
                                                            : "MJPG";
  const uint32_t fileSize = static_cast<uint32_t>(FileSize());
  const AudioFormat audio = AudioFormatOf(audioType_);
  HeaderBytes h(kHeaderBytes);
  h.Id(0, "RIFF");
  h.U32(4, provisional ? 0 : fileSize - 8);
  h.Id(8, "AVI ");
  h.Id(12, "LIST");
  h.U32(16, 296);
  h.Id(20, "hdrl");
  h.Id(24, "avih");
  h.U32(28, 56);
  h.U32(32, (kFrameRate * 100 / 2 + 100000000) / (kFrameRate * 100));
  h.U32(36, 564252);
  h.U32(44, 0x810);  // has an index, trust the chunk types
  h.U32(48, videoFrames_);
  h.U32(56, 2);
  h.U32(60, 96517);
  h.U32(64, width_);
  h.U32(68, height_);
  h.Id(88, "LIST");
  h.U32(92, 116);
  h.Id(96, "strl");
  h.Id(100, "strh");
  h.U32(104, 56);
  h.Id(108, "vids");
  h.Id(112, handler);
  h.U32(128, 100);
  h.U32(132, kFrameRate * 100);
  h.U32(140, videoFrames_);
  h.U32(144, 96517);
  h.U16(160, width_);
  h.U16(162, height_);
  h.Id(164, "strf");
  h.U32(168, 40);
  h.U32(172, 40);
  h.U32(176, width_);
  h.U32(180, height_);
  h.U16(184, 1);
  h.U16(186, 24);
  h.Id(188, handler);
  h.U32(192, static_cast<uint32_t>(width_) * height_ * 3);
  h.Id(212, "LIST");
  h.U32(216, 96);
  h.Id(220, "strl");
  h.Id(224, "strh");
  h.U32(228, 56);
  h.Id(232, "auds");
  h.U32(252, audio.blockAlign);
  h.U32(256, audio.bytesPerSecond);
  h.U32(264, static_cast<uint32_t>(audioBytes_ / audio.blockAlign));
  h.U32(268, 2048);
  h.U32(276, audio.blockAlign);
  h.Id(288, "strf");
  h.U32(292, 20);
  h.U16(296, audio.tag);
  h.U16(298, 1);
  h.U32(300, 8000);
  h.U32(304, audio.bytesPerSecond);
  h.U16(308, audio.blockAlign);
  h.U16(310, audio.bitsPerSample);
  h.U16(312, audio.extraSize);
  h.U16(314, audio.samplesPerBlock);
  h.Id(316, "LIST");
  h.U32(320, provisional ? 0 : static_cast<uint32_t>(4 + chunkBytes_));
  h.Id(324, "movi");
  return h.Take();
}

int CQxAvi::WriteHeader(const std::string& path, uint8_t videoType, uint16_t width, uint16_t height,
                        uint32_t seconds, uint32_t microseconds) {
  width_ = width;
  height_ = height;
  const bool opening = file_ == nullptr;
  if (opening) {
    Clear();
    keptUnfinished_ = false;
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return Fail(-3, "fopen");
    // Chunk headers and payloads leave in large writes.
    if (!buffer_) buffer_ = std::make_unique<char[]>(kWriteBuffer);
    std::setvbuf(file_, buffer_.get(), _IOFBF, kWriteBuffer);
    videoCodec_ = videoType <= AVI_CHUNK_JPEG ? videoType : 255;
    startMs_ = Milliseconds(seconds, microseconds);
  }
  if (std::fseek(file_, 0, SEEK_SET) != 0) return Fail(-3, "fseek");
  const std::vector<uint8_t> header = Header(opening);
  if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) return Fail(-4, "header write");
  // On disk at once, so that a run killed later leaves a file that names
  // its codec.
  if (opening && std::fflush(file_) != 0) return Fail(-4, "header write");
  // The provisional header must leave the file where the chunks go.
  if (!opening && std::fseek(file_, 0, SEEK_END) != 0) return Fail(-4, "fseek");
  return 0;
}

int64_t CQxAvi::WriteChunk(uint8_t type, bool key, uint32_t size, const uint8_t* payload,
                           uint32_t seconds, uint32_t microseconds) {
  if (!file_) return 0;
  uint32_t id;
  if (type == AVI_CHUNK_ADPCM || type == AVI_CHUNK_MULAW) {
    const uint16_t coding = type == AVI_CHUNK_ADPCM ? AVI_ADPCM : AVI_MULAW;
    if (audioType_ == 0) audioType_ = coding;
    if (audioType_ != coding) {
      platform::Trace("CQxAvi: %s audio in a %s file not written\n",
                      coding == AVI_ADPCM ? "IMA ADPCM" : "mu-law",
                      audioType_ == AVI_ADPCM ? "IMA ADPCM" : "mu-law");
      return 0;
    }
    id = kAudioChunk;
  } else if (type <= AVI_CHUNK_JPEG) {
    id = kVideoChunk;
    if (videoCodec_ == 255) videoCodec_ = type;
  } else {
    return 0;
  }
  if (FileSize() + GrowthOf(size, seconds, microseconds) > UINT32_MAX) {
    errno = EFBIG;
    return Fail(-4, "chunk write", false);  // the file itself is whole
  }

  const uint8_t chunkHeader[8] = {
      static_cast<uint8_t>(id),         static_cast<uint8_t>(id >> 8),
      static_cast<uint8_t>(id >> 16),   static_cast<uint8_t>(id >> 24),
      static_cast<uint8_t>(size),       static_cast<uint8_t>(size >> 8),
      static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  const uint8_t pad = 0;
  if (std::fwrite(chunkHeader, 1, 8, file_) != 8) return Fail(-4, "chunk write");
  for (uint32_t at = 0; at < size;) {
    if (at > 0 && stop_ && stop_->load(std::memory_order_relaxed)) {
      FinishUnfinished(false);
      return kStopped;
    }
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(size - at, kWriteBuffer));
    if (std::fwrite(payload + at, 1, piece, file_) != piece) return Fail(-4, "chunk write");
    at += piece;
  }
  if ((size & 1u) && std::fwrite(&pad, 1, 1, file_) != 1) return Fail(-4, "chunk write");

  const uint32_t offset = static_cast<uint32_t>(4 + chunkBytes_);
  chunkBytes_ += 8 + size + (size & 1u);

  for (int64_t missing = MissingFrames(seconds, microseconds); missing > 0; --missing) {
    AddIndexEntry({kDroppedFrame, 0, offset, 0});
    ++videoFrames_;
    ++framesSinceStart_;
  }
  if (id == kVideoChunk) {
    AddIndexEntry({id, key ? AVIIF_KEYFRAME : 0, offset, size});
    ++videoFrames_;
    ++framesSinceStart_;
  } else {
    AddIndexEntry({id, AVIIF_KEYFRAME, offset, size});
    ++audioChunks_;
    audioBytes_ += size;
  }
  return size;
}

int CQxAvi::WriteIndex() {
  if (!file_) return 0;
  platform::Trace("WriteIndex!\n");
  const std::vector<uint8_t> index = IndexBytes();
  if (std::fwrite(index.data(), 1, index.size(), file_) != index.size()) return Fail(-4, "index write");
  if (WriteHeader(std::string(), videoCodec_, width_, height_, 0, 0) != 0) return -4;
  if (std::fflush(file_) != 0) return Fail(-4, "flush");
  std::FILE* file = file_;
  file_ = nullptr;  // closed whatever fclose says
  if (std::fclose(file) != 0) return Fail(-4, "close");
  Clear();
  return 0;
}
