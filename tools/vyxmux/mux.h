#pragma once
// Puts timed video and audio records into one archive, in time order.
#include <cstdint>
#include <string>
#include <vector>

#include "player/archive/vyx_format.h"

struct TimedRecord {
  uint8_t type = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint64_t offsetUsec = 0;  // after the archive's start time
  std::vector<uint8_t> payload;
};

// Header fields every record of the archive gets.
struct RecordFields {
  uint32_t magic = VYX_FRAME_MAGIC;
  uint8_t channel = 0;
  std::string title;      // at most 17 bytes are stored
  uint8_t frameFlag = 0;  // byte 42
  uint32_t startSeconds = 1700000000;
};

// Merges the streams by time, each kept in its own order: on equal times
// video comes first, then the audio tracks in the order given.
std::vector<const TimedRecord*> Interleave(const std::vector<TimedRecord>& video,
                                           const std::vector<std::vector<TimedRecord>>& audioTracks);

// Writes the records in the order given; false with `error` set when a
// time or a size does not fit its header field or the file cannot be
// written.
bool WriteArchive(const std::string& path, const std::vector<const TimedRecord*>& records,
                  const RecordFields& fields, std::string& error);

// Interleave, then WriteArchive.
bool MuxArchive(const std::string& path, const std::vector<TimedRecord>& video,
                const std::vector<std::vector<TimedRecord>>& audioTracks, const RecordFields& fields,
                std::string& error);
