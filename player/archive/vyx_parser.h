#pragma once
// The archive reader: opens one ".vyx" archive, builds its frame index in a
// background thread and hands frames out in index order through a cursor.
//
// Thread rule: one lock guards the index, the cursor and the time of the
// frame last read.  The index thread appends under it; consumers move the
// cursor under it; payload reads happen outside it on the copied offset and
// length.  The lock is never held while waiting.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_target.h"
#include "player/archive/archive_file.h"
#include "player/archive/vyx_format.h"

// A frame handed out by ReadNextFrame; it belongs to the receiver.
struct VyxFrame {
  // header.length is the number of payload bytes actually handed out, which
  // is less than the archive claims when the file ends early.
  LOCAL_FRAME_INDEX index;
  std::vector<uint8_t> payload;
};

// What ReadNextFrame hands out: a frame, or the end marker once indexing
// has finished and every record was handed out, or nothing yet.
struct FrameReadout {
  std::unique_ptr<VyxFrame> frame;
  bool endOfFile = false;
};

class CQxVyxParser {
 public:
  CQxVyxParser() = default;
  virtual ~CQxVyxParser();
  CQxVyxParser(const CQxVyxParser&) = delete;
  CQxVyxParser& operator=(const CQxVyxParser&) = delete;

  // Receives WM_VYX_INDEX_ERROR (a record without the magic, or longer
  // than VYX_MAX_PAYLOAD_LENGTH, ends the index) and WM_VYX_INDEX_DONE.
  void SetNotifyWindow(platform::MessageTargetPtr window);
  platform::MessageTargetPtr GetNotifyWindow() const;

  // 1 when the archive is open and indexing started, else 0.  The cursor is
  // left to the caller (Rewind).
  int Open(const std::string& path);
  // 1: out.frame holds the next record.  0: nothing handed out; out.endOfFile
  // tells whether that is the end of the archive (the cursor then moves back
  // to the last record) or the index thread has not got further yet.
  // -1: out of memory; the cursor has advanced.
  int ReadNextFrame(FrameReadout& out);
  // As ReadNextFrame, without reading the payload: `record` is the next
  // record with header.length cut to the bytes the file holds (tools that
  // list an archive without paying for its payloads).
  int ReadNextRecord(LOCAL_FRAME_INDEX& record, bool& endOfFile);
  // 0 with the cursor on the key frame before the frame last handed out;
  // -1 when there is none.
  int StepBackToKeyFrame();
  // Non-zero when the index has a record; the cursor is on the first.
  int Rewind();
  // Cursor to the first key frame at or after first time + seconds; left
  // where it was when there is none.  Returns 1.
  int SeekToTime(uint32_t seconds);
  // Last video time - first time, 0 when that would be negative.
  uint32_t GetDuration() const;
  // Frame time - first time, 0 when that would be negative.
  uint32_t GetTimeOffset(uint32_t frameTime) const;
  std::string GetFileName() const;
  void StopIndexThread();
  void FreeIndex();

  bool IsIndexing() const;
  size_t GetFrameCount() const;
  uint32_t GetChannelMask() const;

  // Called by the index thread after each record it appends, outside the
  // lock (tests hold the thread there to see a partial index).
  void SetRecordIndexedHook(std::function<void(size_t count)> hook);

 private:
  void IndexThread(std::shared_ptr<ArchiveFile> file);
  // Moves the cursor as the two readers do; false with endOfFile set as
  // ReadNextFrame reports it when no record is handed out.  `available`:
  // the payload bytes the file holds for the record.
  bool TakeRecord(LOCAL_FRAME_INDEX& record, uint32_t& available, std::shared_ptr<ArchiveFile>& file,
                  bool& endOfFile);
  uint32_t DurationLocked() const;

  mutable std::mutex mutex_;
  std::deque<LOCAL_FRAME_INDEX> index_;
  size_t cursor_ = 0;  // == index_.size(): past the last record
  uint32_t lastReadTime_ = 0;
  bool hasFirstTime_ = false;
  uint32_t firstTime_ = 0;
  uint32_t lastVideoTime_ = 0;
  uint32_t channelMask_ = 0;
  bool indexing_ = false;
  std::string path_;
  std::shared_ptr<ArchiveFile> file_;
  platform::MessageTargetPtr window_;

  std::function<void(size_t)> recordIndexedHook_;
  std::thread indexThread_;
  std::atomic<bool> stopIndexing_{false};
  int threadsStarted_ = 0;
};
