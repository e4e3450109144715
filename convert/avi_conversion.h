#pragma once
// The AVI conversion: walks every record of an archive through the
// player's reader and writes numbered AVI files.  Video payloads are copied
// as recorded (a headerless MPEG-4 key frame gets its stream header), with
// key frames marked in the index; voice is written as mu-law, IMA ADPCM as
// it is, G.723 re-coded as IMA ADPCM.  A new file starts at a key frame
// when the picture size or codec changes, at the first key frame after the
// file has reached the split size, and before any record that would take a
// file past twice that size (at most 2 GiB - 1).
//
// Runs on a thread of its own; the abort flag and the progress are the
// only things it shares while running.  The reader must have no other
// consumer meanwhile (playback suspended).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/g723_to_adpcm.h"
#include "convert/qx_avi.h"
#include "player/archive/vyx_parser.h"

enum class ConversionEnd { kFinished, kAborted, kFailed };

struct ConversionResult {
  ConversionEnd end = ConversionEnd::kFinished;
  std::string error;               // why a failed run stopped
  // The files left, in order; after a failure or an abort the last one
  // holds the whole chunks written before it.
  std::vector<std::string> files;
};

class CQxAviConversion {
 public:
  static constexpr uint64_t kDefaultSplitBytes = uint64_t{1} << 30;
  static constexpr uint64_t kMaxFileBytes = (uint64_t{1} << 31) - 1;
  // Smaller split sizes are taken as this.
  static constexpr uint64_t kMinSplitBytes = 4096;

  // `outputName` is the first file's name; the others are numbered after it.
  CQxAviConversion(CQxVyxParser& reader, std::string outputName,
                   uint64_t splitBytes = kDefaultSplitBytes);

  // Rewinds the reader and converts until the archive's end, an abort
  // request or the first error.  While the index still grows it waits for
  // more records.
  ConversionResult RunConversion(const std::atomic<bool>& abortRequest);
  // Percent of the archive's duration converted, 0..100.
  int Progress() const { return progress_.load(std::memory_order_relaxed); }

 private:
  bool ConvertRecord(const VyxFrame& frame);
  bool WriteVideo(const VyxFrame& frame, bool key);
  bool WriteAudio(const VyxFrame& frame);
  bool WriteG723AsAdpcm(const VyxFrame& frame);
  // Writes one chunk, first moving to the next file when this one would
  // pass the hard size limit.
  bool WriteChunk(uint8_t chunkType, bool key, const uint8_t* data, uint32_t size,
                  const VYX_FRAME_HEADER& header);
  bool OpenNextFile(const VYX_FRAME_HEADER& header);
  // `finished`: the run goes on or has converted everything; otherwise the
  // file is ended as a failed or aborted one (removed when it holds no
  // frame).
  bool CloseFile(bool finished = true);
  // After the writer ended the file on a failure or a stop request: false.
  bool WriterEnded(int64_t result);
  bool Fail(std::string error);
  void UpdateProgress(uint32_t time);

  CQxVyxParser& reader_;
  const std::string output_;
  const uint64_t splitBytes_;
  const uint64_t maxFileBytes_;

  CQxAvi avi_;
  G723ToAdpcm g723_;
  std::vector<uint8_t> blocks_;     // of the G.723 record being written
  std::vector<uint8_t> lastBlock_;  // the padded one a file ends with
  bool writingG723_ = false;
  std::vector<uint8_t> withHeader_;
  std::atomic<int> progress_{0};
  const std::atomic<bool>* abortRequest_ = nullptr;  // during RunConversion

  int32_t currentClass_;
  uint16_t currentWidth_ = 0;
  uint16_t currentHeight_ = 0;
  unsigned fileNumber_ = 0;
  std::string currentFile_;
  uint32_t lastTime_ = 0, lastUsec_ = 0;  // of the last chunk written
  ConversionResult result_;
};
