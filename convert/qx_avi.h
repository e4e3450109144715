#pragma once
// Writes one AVI 1.0 file at a time: a 328-byte header declaring one video
// and one audio stream, the chunks handed in, and an "idx1" index, after
// which the header is rewritten with the final counts.  Payloads are stored
// as given.  The video stream runs on a 30 frames per second clock counted
// from the file's first record: frames the archive did not record become
// empty "00db" index entries, so every chunk keeps its recording time.
//
// Sizes: a chunk's size field and its index entry hold the payload length;
// odd payloads are followed by one pad byte, which only advances offsets.
// The audio stream declares the coding of the file's first audio chunk
// (IMA ADPCM or mu-law); chunks of the other coding are not written.
//
// A file is never left lying about what it holds: the header written when
// it opens already names the video codec and picture size (only the RIFF
// and movi sizes wait for the close), and a file whose writing fails or is
// stopped is cut back to its whole chunks and closed with their index, or
// removed when no video frame is left in it.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct AviIndexEntry {
  uint32_t id;      // chunk identifier, four characters
  uint32_t flags;   // AVIIF_KEYFRAME or 0
  uint32_t offset;  // from the "movi" identifier
  uint32_t size;    // payload length
};

constexpr uint32_t AVIIF_KEYFRAME = 0x10;

// What the header's audio format block declares.
constexpr uint16_t AVI_ADPCM = 3;
constexpr uint16_t AVI_MULAW = 4;

// Chunk types: 0-2 video (the codec class of the frame), 3-4 audio.
enum : uint8_t {
  AVI_CHUNK_MPEG4 = 0,
  AVI_CHUNK_H264 = 1,
  AVI_CHUNK_JPEG = 2,
  AVI_CHUNK_ADPCM = 3,  // whole 256-byte IMA ADPCM blocks
  AVI_CHUNK_MULAW = 4,  // mu-law voice bytes
};

class CQxAvi {
 public:
  static constexpr uint32_t kHeaderBytes = 328;
  static constexpr uint32_t kFrameRate = 30;
  // WriteChunk's result when a stop request ended the file.
  static constexpr int kStopped = -5;

  CQxAvi() = default;
  ~CQxAvi();
  CQxAvi(const CQxAvi&) = delete;
  CQxAvi& operator=(const CQxAvi&) = delete;

  // Opens `path` ("wb") when no file is open and writes the provisional
  // header, flushed at once, declaring `videoType` (the chunk type of the
  // file's first video record; 255 leaves it to the first video chunk,
  // which only the final header then shows); the recording time given
  // starts the file's 30 fps clock.  With a file open it only rewrites the
  // header.  0, -3 (cannot open or seek) or -4 (short write; the file is
  // finished as after a failed chunk).
  int WriteHeader(const std::string& path, uint8_t videoType, uint16_t width, uint16_t height,
                  uint32_t seconds, uint32_t microseconds);
  // The payload length written (0 for an empty payload), 0 when no file is
  // open, the type is unknown or the audio coding differs from the file's;
  // -4 on a failed write, kStopped when the stop request came while a chunk
  // larger than one write was under way.  Either way the file is then
  // closed as by CloseUnfinished, without the chunk.
  int64_t WriteChunk(uint8_t type, bool key, uint32_t size, const uint8_t* payload, uint32_t seconds,
                     uint32_t microseconds);
  void AddIndexEntry(const AviIndexEntry& entry) { index_.push_back(entry); }
  // Writes the index and the final header, flushes and closes.  0 (also
  // when no file is open) or -4 (the file is closed all the same).
  int WriteIndex();
  int Close() { return WriteIndex(); }
  // Ends a file whose run failed or was aborted: its whole chunks with
  // their index and final header, or no file at all when no video frame is
  // in it.  0 (also when no file is open) or -4.
  int CloseUnfinished();
  // Checked between the pieces of a large chunk; null: never stopped.
  void SetStopRequest(const std::atomic<bool>* stop) { stop_ = stop; }
  // Whether the file that was ended unfinished last is still on disk.
  bool KeptUnfinished() const { return keptUnfinished_; }

  bool IsOpen() const { return file_ != nullptr; }
  // The length the file would have if it were closed now.
  uint64_t FileSize() const;
  // How many bytes a chunk of `size` bytes written at that time would add
  // to FileSize (with the "00db" entries that come before it).
  uint64_t GrowthOf(uint32_t size, uint32_t seconds, uint32_t microseconds) const;
  // AVI_ADPCM or AVI_MULAW once the file has an audio chunk, else 0.
  uint16_t AudioType() const { return audioType_; }
  // The system's reason for the last -3 or -4.
  const std::string& LastError() const { return lastError_; }

 private:
  static int64_t Milliseconds(uint32_t seconds, uint32_t microseconds);
  int64_t MissingFrames(uint32_t seconds, uint32_t microseconds) const;
  // Zero RIFF and movi sizes in the provisional header.
  std::vector<uint8_t> Header(bool provisional) const;
  // Records the system's reason and finishes the file; `outOfRoom`: the
  // file cannot grow (its disk or size limit is full).
  int Fail(int result, const char* what, bool outOfRoom = true);
  // Closes the stream and finishes what reached the file.  With
  // `roomIsLength` the index must fit in the length the file has reached,
  // chunks at the end making way for it.  False when a file with frames
  // could not be finished (it is left as it is).
  bool FinishUnfinished(bool roomIsLength);
  // Cuts the index and counts back to the chunks that lie whole within
  // `dataLength` bytes and leave their index room within `room`.
  void KeepWholeChunks(uint64_t dataLength, uint64_t room);
  std::vector<uint8_t> IndexBytes() const;
  void Clear();

  std::vector<AviIndexEntry> index_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;  // the stream's, larger than stdio's own
  std::string path_;
  std::string lastError_;
  uint64_t chunkBytes_ = 0;  // chunk headers, payloads and pads after "movi"
  uint32_t videoFrames_ = 0;  // video chunks and "00db" entries
  uint32_t audioChunks_ = 0;
  uint64_t audioBytes_ = 0;
  uint8_t videoCodec_ = 255;  // 255: no video chunk yet
  int64_t startMs_ = 0;
  int64_t framesSinceStart_ = 0;
  uint16_t width_ = 704;
  uint16_t height_ = 480;
  uint16_t audioType_ = 0;
  const std::atomic<bool>* stop_ = nullptr;
  bool keptUnfinished_ = false;
};
