// Fuzz target: the MPEG-4 Part 2 decoder on hostile payloads.  The first
// bytes choose the decoder's picture size, the stream defaults and the comb
// filter; the rest is cut in front of each VOP start code, so that every
// piece is one access unit (whatever headers precede its VOP) and P-VOPs
// find the picture before them.  Every piece is decoded into every output
// format, each format by a decoder of its own, into a buffer that ends
// where the picture does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/mpeg4/output_formats.h"

namespace {

constexpr int32_t kFormats[] = {
    OUTPUT_FORMAT_I420,       OUTPUT_FORMAT_RGB24,       OUTPUT_FORMAT_RGB32,     OUTPUT_FORMAT_YUV422,
    OUTPUT_FORMAT_UYVY,       OUTPUT_FORMAT_RGB16,       OUTPUT_FORMAT_RGB24_FLIP, OUTPUT_FORMAT_RGB32_FLIP,
    OUTPUT_FORMAT_YUV422_FLIP, OUTPUT_FORMAT_UYVY_FLIP, OUTPUT_FORMAT_RGB16_FLIP,
};

size_t PictureBytes(int32_t format, size_t width, size_t height) {
  switch (format) {
    case OUTPUT_FORMAT_I420:
      return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
    case OUTPUT_FORMAT_RGB24:
    case OUTPUT_FORMAT_RGB24_FLIP:
      return width * height * 3;
    case OUTPUT_FORMAT_RGB32:
    case OUTPUT_FORMAT_RGB32_FLIP:
      return width * height * 4;
    default:
      return width * height * 2;
  }
}

struct DecoderDeleter {
  void operator()(Mp4Decoder* decoder) const { Mp4Dec_Destroy(decoder, 0); }
};

// Offsets where each access unit starts: 0 and every VOP start code after
// the first one.
std::vector<size_t> UnitStarts(const uint8_t* data, size_t size) {
  std::vector<size_t> starts{0};
  bool seenVop = false;
  for (size_t i = 0; i + 4 <= size; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || data[i + 3] != 0xB6) continue;
    if (seenVop && i > starts.back()) starts.push_back(i);
    seenVop = true;
  }
  return starts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  // Up to 400 x 320: large enough for several macroblock rows and columns
  // with partial ones at any width, small enough to keep runs fast.
  const uint32_t width = 1 + (uint32_t(data[0]) | uint32_t(data[1]) << 8) % 400;
  const uint32_t height = 1 + (uint32_t(data[2]) | uint32_t(data[3]) << 8) % 320;
  const uint8_t choice = data[4];
  data += 5;
  size -= 5;

  Mp4VolDefaults defaults;
  defaults.interlaced = choice & 1;
  defaults.quarterSample = (choice >> 1) & 1;
  defaults.verid = (choice & 4) ? 2 : 1;
  defaults.vopTimeIncrementResolution = (choice & 8) ? 25 : 30000;
  const uint32_t deinterlace = (choice >> 4) & 1;

  const std::vector<size_t> starts = UnitStarts(data, size);
  for (const int32_t format : kFormats) {
    Mp4Decoder* raw = nullptr;
    if (Mp4Dec_Create(&raw, width, height, 0, 0) != MP4DEC_OK) return 0;
    const std::unique_ptr<Mp4Decoder, DecoderDeleter> decoder(raw);
    Mp4Dec_SetVolDefaults(decoder.get(), &defaults);
    std::vector<uint8_t> picture(PictureBytes(format, width, height));
    for (size_t k = 0; k < starts.size(); ++k) {
      const size_t end = k + 1 < starts.size() ? starts[k + 1] : size;
      // Each piece in its own allocation: a read past its end is caught.
      const std::vector<uint8_t> unit(data + starts[k], data + end);
      Mp4DecFrame frame;
      frame.width = width;
      frame.height = height;
      frame.data = unit.empty() ? nullptr : unit.data();
      frame.length = unit.size();
      frame.output = picture.data();
      frame.format = format;
      frame.stride = int32_t(width);
      frame.deinterlace = deinterlace;
      const int32_t result = Mp4Dec_Decode(decoder.get(), &frame, 0);
      if (result == MP4DEC_OK) {
        Mp4DecPicture planes;
        if (Mp4Dec_GetPicture(decoder.get(), &planes) == MP4DEC_OK && planes.y) {
          // Touch the last sample of each plane.
          volatile uint8_t last = planes.y[ptrdiff_t(planes.height - 1) * planes.yStride + planes.width - 1];
          last = planes.v[ptrdiff_t((planes.height + 1) / 2 - 1) * planes.uvStride + (planes.width + 1) / 2 - 1];
          (void)last;
        }
      }
    }
  }
  return 0;
}
