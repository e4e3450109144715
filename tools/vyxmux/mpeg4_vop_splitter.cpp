#include "tools/vyxmux/mpeg4_vop_splitter.h"

#include <optional>

#include "tools/vyxmux/mpeg4_headers.h"

namespace {

constexpr uint8_t kVop = 0xB6;

bool IsVideoObjectLayer(uint8_t code) { return code >= 0x20 && code <= 0x2F; }

// Start codes of headers that lead into the next VOP.
bool LeadsIntoVop(uint8_t code) {
  return code <= 0x1F || IsVideoObjectLayer(code) || code == 0xB0 || code == 0xB2 ||
         code == 0xB3 || code == 0xB5;
}

}  // namespace

std::vector<Mpeg4Vop> SplitMpeg4Vops(const std::vector<uint8_t>& stream, std::string* error) {
  std::string firstError;
  auto fault = [&](size_t offset, const std::string& what) {
    if (firstError.empty()) firstError = "byte " + std::to_string(offset) + ": " + what;
  };

  std::vector<Mpeg4Vop> vops;  // bytes filled in at the end
  std::optional<size_t> pendingStart;  // first header after the last VOP
  uint32_t verid = 1;
  uint16_t width = 0;
  uint16_t height = 0;

  const uint8_t* data = stream.data();
  const size_t size = stream.size();
  for (size_t i = 0; i + 4 <= size; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    const uint8_t code = data[i + 3];
    const uint8_t* body = data + i + 4;
    const size_t bodySize = size - (i + 4);
    if (code == kVop) {
      Mpeg4Vop vop;
      vop.offset = vops.empty() ? 0 : pendingStart.value_or(i);
      if (bodySize == 0) {
        fault(i, "VOP header is truncated");
      } else {
        vop.intra = (body[0] >> 6) == 0;
      }
      vop.width = width;
      vop.height = height;
      vops.push_back(std::move(vop));
      pendingStart.reset();
    } else if (LeadsIntoVop(code)) {
      if (!vops.empty() && !pendingStart) pendingStart = i;
      if (code == 0xB5) {
        verid = ParseMpeg4VisualObjectVerid(body, bodySize);
      } else if (IsVideoObjectLayer(code)) {
        const auto layer = ParseMpeg4VideoObjectLayer(body, bodySize, verid);
        if (!layer) fault(i, "video object layer header is truncated or invalid");
        width = layer ? layer->width : 0;
        height = layer ? layer->height : 0;
      }
    }
    i += 3;
  }

  for (size_t v = 0; v < vops.size(); ++v) {
    const size_t end = v + 1 < vops.size() ? vops[v + 1].offset : size;
    vops[v].bytes.assign(stream.begin() + static_cast<std::ptrdiff_t>(vops[v].offset),
                         stream.begin() + static_cast<std::ptrdiff_t>(end));
  }
  if (vops.empty()) firstError = "no VOP: the stream holds no 00 00 01 B6 start code";
  if (error) *error = firstError;
  return vops;
}
