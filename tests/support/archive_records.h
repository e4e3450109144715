#pragma once
// Archives a test writes record by record: a header with any field values
// and its payload, through the archive writer vyxmux uses.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/archive/vyx_format.h"
#include "tools/vyxmux/annexb_splitter.h"

namespace testing_support {

struct ArchiveRecord {
  VYX_FRAME_HEADER header;
  std::vector<uint8_t> payload;
};

// A header `us` microseconds after `start` (seconds), the magic set.
VYX_FRAME_HEADER HeaderAt(uint8_t type, uint32_t start, uint64_t us);

// Access unit `index` of an H.264 stream at 25 pictures a second from
// `start`: a key frame where it holds an IDR picture, the picture size its
// parameter sets give.
ArchiveRecord H264Record(const AccessUnit& unit, uint32_t start, size_t index, const std::string& title = "");

// The records in their order, each header's length set to its payload's
// size; false when the file cannot be written.
bool WriteArchive(const std::filesystem::path& path, const std::vector<ArchiveRecord>& records);

}  // namespace testing_support
