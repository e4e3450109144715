#pragma once
// Writes ".vyx" records: a 48-byte header with any field values, then the
// payload.  Used by the vyxmux tool and by tests that need odd archives.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "player/archive/vyx_format.h"

// A header with the magic set and everything else zero.
VYX_FRAME_HEADER MakeFrameHeader(uint8_t type, uint32_t time = 0, uint32_t usec = 0);
void SetTitle(VYX_FRAME_HEADER& header, const std::string& title);

class VyxWriter {
 public:
  VyxWriter() = default;
  ~VyxWriter();
  VyxWriter(const VyxWriter&) = delete;
  VyxWriter& operator=(const VyxWriter&) = delete;

  bool Open(const std::string& path);
  // Writes the header as given (its length field included) and the payload.
  bool WriteRecord(const VYX_FRAME_HEADER& header, const uint8_t* payload, size_t size);
  // Sets header.length to the payload's size, then writes.
  bool Write(VYX_FRAME_HEADER header, const std::vector<uint8_t>& payload);
  // Raw bytes, for damaged archives.
  bool WriteBytes(const void* data, size_t size);
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  bool ok_ = true;
};
