#include "tests/support/vyx_frames.h"

#include <algorithm>

namespace testing_support {

VyxFrame MakeVyxFrame(uint8_t type, std::vector<uint8_t> payload, int width, int height, uint32_t time,
                      const std::string& title) {
  VyxFrame frame;
  frame.index.header = {};
  frame.index.header.magic = VYX_FRAME_MAGIC;
  frame.index.header.type = type;
  frame.index.header.width = static_cast<uint16_t>(width);
  frame.index.header.height = static_cast<uint16_t>(height);
  frame.index.header.time = time;
  frame.index.header.length = static_cast<uint32_t>(payload.size());
  std::copy_n(title.begin(), std::min(title.size(), sizeof frame.index.header.title), frame.index.header.title);
  frame.index.codecClass = CodecClassOfType(type);
  frame.payload = std::move(payload);
  return frame;
}

}  // namespace testing_support
