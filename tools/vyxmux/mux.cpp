#include "tools/vyxmux/mux.h"

#include "tools/vyxmux/vyx_writer.h"

std::vector<const TimedRecord*> Interleave(const std::vector<TimedRecord>& video,
                                           const std::vector<std::vector<TimedRecord>>& audioTracks) {
  std::vector<const std::vector<TimedRecord>*> streams{&video};
  for (const auto& track : audioTracks) streams.push_back(&track);
  std::vector<size_t> next(streams.size(), 0);

  std::vector<const TimedRecord*> order;
  while (true) {
    const TimedRecord* earliest = nullptr;
    size_t from = 0;
    for (size_t s = 0; s < streams.size(); ++s) {
      if (next[s] >= streams[s]->size()) continue;
      const TimedRecord& head = (*streams[s])[next[s]];
      if (!earliest || head.offsetUsec < earliest->offsetUsec) {
        earliest = &head;
        from = s;
      }
    }
    if (!earliest) return order;
    order.push_back(earliest);
    ++next[from];
  }
}

bool WriteArchive(const std::string& path, const std::vector<const TimedRecord*>& records,
                  const RecordFields& fields, std::string& error) {
  constexpr uint64_t kUsecPerSecond = 1000000;
  // Checked before the file is created, so that no partial archive is left.
  for (const TimedRecord* record : records) {
    if (fields.startSeconds + record->offsetUsec / kUsecPerSecond > UINT32_MAX) {
      error = "a record time lies beyond what the 32-bit seconds field holds";
      return false;
    }
    if (record->payload.size() > UINT32_MAX) {
      error = "a payload is larger than the 32-bit length field holds";
      return false;
    }
  }
  VyxWriter writer;
  if (!writer.Open(path)) {
    error = "cannot create " + path;
    return false;
  }
  for (const TimedRecord* record : records) {
    const uint64_t seconds = fields.startSeconds + record->offsetUsec / kUsecPerSecond;
    VYX_FRAME_HEADER header = MakeFrameHeader(record->type, static_cast<uint32_t>(seconds),
                                              static_cast<uint32_t>(record->offsetUsec % kUsecPerSecond));
    header.magic = fields.magic;
    header.width = record->width;
    header.height = record->height;
    header.channel = fields.channel;
    header.frameFlag = fields.frameFlag;
    SetTitle(header, fields.title);
    if (!writer.Write(header, record->payload)) {
      error = "cannot write " + path;
      return false;
    }
  }
  if (!writer.Close()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool MuxArchive(const std::string& path, const std::vector<TimedRecord>& video,
                const std::vector<std::vector<TimedRecord>>& audioTracks, const RecordFields& fields,
                std::string& error) {
  return WriteArchive(path, Interleave(video, audioTracks), fields, error);
}
