#include "player/archive/vyx_parser.h"

#include <pthread.h>

#include <algorithm>
#include <new>
#include <system_error>

#include "platform/message_box.h"
#include "platform/trace.h"
#include "player/archive/archive_messages.h"
#include "player/archive/record_scanner.h"

CQxVyxParser::~CQxVyxParser() {
  StopIndexThread();
  FreeIndex();
}

void CQxVyxParser::SetNotifyWindow(platform::MessageTargetPtr window) {
  std::lock_guard lock(mutex_);
  window_ = std::move(window);
}

platform::MessageTargetPtr CQxVyxParser::GetNotifyWindow() const {
  std::lock_guard lock(mutex_);
  return window_;
}

int CQxVyxParser::Open(const std::string& path) {
  // The old index thread must be gone before its index is freed.
  StopIndexThread();
  FreeIndex();
  {
    std::lock_guard lock(mutex_);
    path_ = path;
    file_.reset();
    hasFirstTime_ = false;
    firstTime_ = lastVideoTime_ = lastReadTime_ = 0;
    channelMask_ = 0;
  }

  std::shared_ptr<ArchiveFile> file = ArchiveFile::Open(path);
  if (!file) return 0;
  if (file->Length() <= 0) return 0;

  {
    std::lock_guard lock(mutex_);
    file_ = file;
    indexing_ = true;
  }
  stopIndexing_ = false;
  try {
    indexThread_ = std::thread(&CQxVyxParser::IndexThread, this, file);
  } catch (const std::system_error&) {
    {
      std::lock_guard lock(mutex_);
      indexing_ = false;
    }
    platform::Trace("Start Parser Thread Failed\n");
    return 0;
  }
  ++threadsStarted_;
  platform::Trace("Start Parser Thread 0x%x, %d\n",
                  static_cast<unsigned>(indexThread_.native_handle()), threadsStarted_);
  return 1;
}

void CQxVyxParser::IndexThread(std::shared_ptr<ArchiveFile> playbackFile) {
  // The index thread reads through a file of its own, as a second reader
  // of the same path would; the playback file stays with the consumers.
  std::string path;
  platform::MessageTargetPtr window;
  {
    std::lock_guard lock(mutex_);
    path = path_;
    window = window_;
  }
  playbackFile.reset();

  std::shared_ptr<ArchiveFile> file = ArchiveFile::Open(path);
  const uint64_t length = file && file->Length() > 0 ? static_cast<uint64_t>(file->Length()) : 0;
  if (length == 0) {
    std::lock_guard lock(mutex_);
    indexing_ = false;
    return;
  }

  RecordScanner scanner(*file);
  uint64_t position = 0;
  uint8_t bytes[VYX_HEADER_SIZE];
  while (!stopIndexing_.load(std::memory_order_relaxed) && position < length &&
         length - position >= VYX_HEADER_SIZE) {
    if (!scanner.ReadHeader(position, bytes)) break;
    position += VYX_HEADER_SIZE;
    LOCAL_FRAME_INDEX record;
    record.header = ParseFrameHeader(bytes);
    if (record.header.magic != VYX_FRAME_MAGIC || record.header.length > VYX_MAX_PAYLOAD_LENGTH) {
      uint32_t mask, duration;
      {
        std::lock_guard lock(mutex_);
        mask = channelMask_;
        duration = DurationLocked();
      }
      if (window) window->Post(WM_VYX_INDEX_ERROR, mask, duration);
      break;
    }
    record.codecClass = CodecClassOfType(record.header.type);
    record.offset = position;
    position += record.header.length;

    size_t count;
    {
      std::lock_guard lock(mutex_);
      if (!hasFirstTime_) {
        hasFirstTime_ = true;
        firstTime_ = record.header.time;
      }
      if (IsVideoFrameType(record.header.type)) lastVideoTime_ = record.header.time;
      channelMask_ |= 1u << (record.header.channel % 32);
      index_.push_back(record);
      count = index_.size();
    }
    if (recordIndexedHook_) recordIndexedHook_(count);
  }
  file.reset();

  bool indexedAny, stopped;
  uint32_t mask, duration;
  {
    // Decided together with the end of indexing, so that whoever sees
    // IsIndexing() turn false and then stops the thread still gets its report.
    std::lock_guard lock(mutex_);
    indexing_ = false;
    stopped = stopIndexing_.load();
    indexedAny = hasFirstTime_;
    mask = channelMask_;
    duration = DurationLocked();
  }
  // A stopped thread reports nothing: its archive is no longer the one open.
  if (stopped) return;
  if (indexedAny) {
    if (window) window->Post(WM_VYX_INDEX_DONE, mask, duration);
  } else {
    platform::ShowMessageBox("Open Vyx File Error!");
  }
}

bool CQxVyxParser::TakeRecord(LOCAL_FRAME_INDEX& record, uint32_t& available,
                              std::shared_ptr<ArchiveFile>& file, bool& endOfFile) {
  endOfFile = false;
  {
    std::lock_guard lock(mutex_);
    if (cursor_ >= index_.size()) {
      if (indexing_) return false;  // more records may come
      endOfFile = true;
      cursor_ = index_.empty() ? 0 : index_.size() - 1;
      return false;
    }
    record = index_[cursor_++];
    lastReadTime_ = record.header.time;
    file = file_;
  }
  // Never more than the file holds after the offset.
  uint64_t inFile = 0;
  if (file && record.offset < static_cast<uint64_t>(file->Length()))
    inFile = static_cast<uint64_t>(file->Length()) - record.offset;
  available = static_cast<uint32_t>(std::min<uint64_t>(record.header.length, inFile));
  return true;
}

int CQxVyxParser::ReadNextFrame(FrameReadout& out) {
  out.frame.reset();
  LOCAL_FRAME_INDEX record;
  uint32_t wanted = 0;
  std::shared_ptr<ArchiveFile> file;
  if (!TakeRecord(record, wanted, file, out.endOfFile)) return 0;

  std::unique_ptr<VyxFrame> frame(new (std::nothrow) VyxFrame);
  if (!frame) return -1;
  try {
    frame->payload.resize(wanted);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  const size_t got = wanted ? file->ReadAt(record.offset, frame->payload.data(), wanted) : 0;
  frame->payload.resize(got);
  frame->index = record;
  frame->index.header.length = static_cast<uint32_t>(got);
  out.frame = std::move(frame);
  return 1;
}

int CQxVyxParser::ReadNextRecord(LOCAL_FRAME_INDEX& record, bool& endOfFile) {
  uint32_t available = 0;
  std::shared_ptr<ArchiveFile> file;
  if (!TakeRecord(record, available, file, endOfFile)) return 0;
  record.header.length = available;
  return 1;
}

int CQxVyxParser::StepBackToKeyFrame() {
  std::lock_guard lock(mutex_);
  if (cursor_ >= index_.size()) return -1;
  if (cursor_ == 0) return -1;
  size_t position = cursor_ - 1;  // the frame last handed out
  cursor_ = position;
  if (position == 0) return -1;
  while (true) {
    if (position == 0) {
      cursor_ = index_.size();
      return -1;
    }
    --position;
    if (IsKeyFrameType(index_[position].header.type)) {
      cursor_ = position;
      return 0;
    }
  }
}

int CQxVyxParser::Rewind() {
  std::lock_guard lock(mutex_);
  cursor_ = 0;
  return index_.empty() ? 0 : 1;
}

int CQxVyxParser::SeekToTime(uint32_t seconds) {
  std::lock_guard lock(mutex_);
  if (!hasFirstTime_) return 1;
  uint64_t target = static_cast<uint64_t>(firstTime_) + seconds;
  if (target >= lastVideoTime_) target = lastVideoTime_ > 0 ? lastVideoTime_ - 1u : 0;
  const size_t start = target > lastReadTime_ ? cursor_ : 0;
  for (size_t i = start; i < index_.size(); ++i) {
    const VYX_FRAME_HEADER& h = index_[i].header;
    if (IsKeyFrameType(h.type) && h.time >= target) {
      cursor_ = i;
      break;
    }
  }
  return 1;
}

uint32_t CQxVyxParser::DurationLocked() const {
  if (!hasFirstTime_ || lastVideoTime_ <= firstTime_) return 0;
  return lastVideoTime_ - firstTime_;
}

uint32_t CQxVyxParser::GetDuration() const {
  std::lock_guard lock(mutex_);
  return DurationLocked();
}

uint32_t CQxVyxParser::GetTimeOffset(uint32_t frameTime) const {
  std::lock_guard lock(mutex_);
  if (!hasFirstTime_ || frameTime <= firstTime_) return 0;
  return frameTime - firstTime_;
}

std::string CQxVyxParser::GetFileName() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void CQxVyxParser::StopIndexThread() {
  if (!indexThread_.joinable()) return;
  stopIndexing_ = true;
  indexThread_.join();
  std::lock_guard lock(mutex_);
  indexing_ = false;
}

void CQxVyxParser::FreeIndex() {
  std::lock_guard lock(mutex_);
  index_.clear();
  index_.shrink_to_fit();
  cursor_ = 0;
}

void CQxVyxParser::SetRecordIndexedHook(std::function<void(size_t)> hook) {
  StopIndexThread();
  recordIndexedHook_ = std::move(hook);
}

bool CQxVyxParser::IsIndexing() const {
  std::lock_guard lock(mutex_);
  return indexing_;
}

size_t CQxVyxParser::GetFrameCount() const {
  std::lock_guard lock(mutex_);
  return index_.size();
}

uint32_t CQxVyxParser::GetChannelMask() const {
  std::lock_guard lock(mutex_);
  return channelMask_;
}
