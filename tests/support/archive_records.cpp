#include "tests/support/archive_records.h"

#include "tools/vyxmux/vyx_writer.h"

namespace testing_support {

VYX_FRAME_HEADER HeaderAt(uint8_t type, uint32_t start, uint64_t us) {
  return MakeFrameHeader(type, start + static_cast<uint32_t>(us / 1000000), static_cast<uint32_t>(us % 1000000));
}

ArchiveRecord H264Record(const AccessUnit& unit, uint32_t start, size_t index, const std::string& title) {
  ArchiveRecord record{HeaderAt(unit.idr ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, start, uint64_t{index} * 40000),
                       unit.bytes};
  record.header.width = unit.width;
  record.header.height = unit.height;
  SetTitle(record.header, title);
  return record;
}

bool WriteArchive(const std::filesystem::path& path, const std::vector<ArchiveRecord>& records) {
  VyxWriter writer;
  if (!writer.Open(path.string())) return false;
  for (const ArchiveRecord& record : records)
    if (!writer.Write(record.header, record.payload)) return false;
  return writer.Close();
}

}  // namespace testing_support
