#include "tools/vyxmux/vyx_writer.h"

#include <algorithm>
#include <cstring>

VYX_FRAME_HEADER MakeFrameHeader(uint8_t type, uint32_t time, uint32_t usec) {
  VYX_FRAME_HEADER header;
  std::memset(&header, 0, sizeof header);
  header.magic = VYX_FRAME_MAGIC;
  header.type = type;
  header.time = time;
  header.usec = usec;
  return header;
}

void SetTitle(VYX_FRAME_HEADER& header, const std::string& title) {
  std::memset(header.title, 0, sizeof header.title);
  std::memcpy(header.title, title.data(), std::min(title.size(), sizeof header.title));
}

VyxWriter::~VyxWriter() { Close(); }

bool VyxWriter::Open(const std::string& path) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  ok_ = file_ != nullptr;
  return ok_;
}

bool VyxWriter::WriteBytes(const void* data, size_t size) {
  if (!file_) return false;
  if (size && std::fwrite(data, 1, size, file_) != size) ok_ = false;
  return ok_;
}

bool VyxWriter::WriteRecord(const VYX_FRAME_HEADER& header, const uint8_t* payload, size_t size) {
  return WriteBytes(&header, sizeof header) && WriteBytes(payload, size);
}

bool VyxWriter::Write(VYX_FRAME_HEADER header, const std::vector<uint8_t>& payload) {
  header.length = static_cast<uint32_t>(payload.size());
  return WriteRecord(header, payload.data(), payload.size());
}

bool VyxWriter::Close() {
  if (!file_) return ok_;
  if (std::fclose(file_) != 0) ok_ = false;
  file_ = nullptr;
  return ok_;
}
