// The MPEG-4 Part 2 decoder on hostile payloads.  The input's first bytes
// choose the decoder's picture size, the stream defaults and the comb
// filter (fuzz_input.h); the rest is cut in front of each VOP start code,
// so that every piece is one access unit (whatever headers precede its
// VOP) and P-VOPs find the picture before them.  Every piece is decoded
// into every output format, each format by a decoder of its own, from a
// buffer that ends where the piece does into one that ends where the
// picture does.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/pixels/output_formats.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr int32_t kFormats[] = {
    OUTPUT_FORMAT_I420,       OUTPUT_FORMAT_RGB24,      OUTPUT_FORMAT_RGB32,      OUTPUT_FORMAT_YUV422,
    OUTPUT_FORMAT_UYVY,       OUTPUT_FORMAT_RGB16,      OUTPUT_FORMAT_RGB24_FLIP, OUTPUT_FORMAT_RGB32_FLIP,
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

// The access units: from the start, and from every VOP start code after
// the first.
std::vector<std::vector<uint8_t>> AccessUnits(const std::vector<uint8_t>& stream) {
  std::vector<size_t> starts{0};
  bool seenVop = false;
  for (size_t i = 0; i + 4 <= stream.size(); ++i) {
    if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1 || stream[i + 3] != 0xB6) continue;
    if (seenVop && i > starts.back()) starts.push_back(i);
    seenVop = true;
  }
  std::vector<std::vector<uint8_t>> units;
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : stream.size();
    units.emplace_back(stream.begin() + ptrdiff_t(starts[k]), stream.begin() + ptrdiff_t(end));
  }
  return units;
}

// Reads the last sample of each plane of the picture the decoder keeps.
void TouchPicture(const Mp4Decoder* decoder) {
  Mp4DecPicture p;
  if (Mp4Dec_GetPicture(decoder, &p) != MP4DEC_OK || !p.y || p.width == 0 || p.height == 0) return;
  const ptrdiff_t chromaWidth = (p.width + 1) / 2, chromaHeight = (p.height + 1) / 2;
  volatile uint8_t sample = p.y[ptrdiff_t(p.height - 1) * p.yStride + ptrdiff_t(p.width) - 1];
  sample = p.u[(chromaHeight - 1) * p.uvStride + chromaWidth - 1];
  sample = p.v[(chromaHeight - 1) * p.uvStride + chromaWidth - 1];
  (void)sample;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  const uint32_t width = 1 + in.U16() % fuzz::kMp4MaxSide;
  const uint32_t height = 1 + in.U16() % fuzz::kMp4MaxSide;
  const uint8_t choices = in.U8();
  Mp4VolDefaults defaults;
  defaults.interlaced = (choices & fuzz::kMp4Interlaced) ? 1 : 0;
  defaults.quarterSample = (choices & fuzz::kMp4QuarterSample) ? 1 : 0;
  defaults.verid = (choices & fuzz::kMp4Verid2) ? 2 : 1;
  defaults.vopTimeIncrementResolution = (choices & fuzz::kMp4Resolution25) ? 25 : 30000;
  const uint32_t combFilter = (choices & fuzz::kMp4CombFilter) ? 1 : 0;
  const std::vector<std::vector<uint8_t>> units = AccessUnits(in.Bytes(in.Left()));

  for (const int32_t format : kFormats) {
    Mp4Decoder* created = nullptr;
    if (Mp4Dec_Create(&created, width, height, 0, 0) != MP4DEC_OK) __builtin_trap();  // every size here is valid
    const std::unique_ptr<Mp4Decoder, DecoderDeleter> decoder(created);
    Mp4Dec_SetVolDefaults(decoder.get(), &defaults);
    auto picture = std::make_unique<uint8_t[]>(PictureBytes(format, width, height));
    for (const std::vector<uint8_t>& unit : units) {
      // Each piece in an allocation of its own size: a read past it is seen.
      auto bytes = std::make_unique<uint8_t[]>(unit.size() ? unit.size() : 1);
      std::copy(unit.begin(), unit.end(), bytes.get());
      Mp4DecFrame frame;
      frame.width = width;
      frame.height = height;
      frame.data = bytes.get();
      frame.length = unit.size();
      frame.output = picture.get();
      frame.format = format;
      frame.stride = int32_t(width);
      frame.deinterlace = combFilter;
      if (Mp4Dec_Decode(decoder.get(), &frame, 0) == MP4DEC_OK) TouchPicture(decoder.get());
    }
  }
  return 0;
}
