#include "codecs/h264/deinterlacer.h"

#include <utility>

#include "codecs/h264/deinterlace_row.h"

namespace avc {

namespace {

struct Frame {
  uint8_t* y;
  uint8_t* cb;
  uint8_t* cr;
};

// A frame-coded picture is shown as decoded.  It counts as one more still
// picture for every pair, so that field pictures after a run of frames
// average at once.
void PassFramePicture(const AvcDecPicture& picture, const Frame& out, uint8_t* previous, uint8_t* counters, int h) {
  const size_t w = static_cast<size_t>(picture.lumaStride);
  const size_t chromaBytes = static_cast<size_t>(picture.chromaStride) * static_cast<size_t>(h / 2);
  CopyRow(out.cb, picture.cb, chromaBytes);
  CopyRow(out.cr, picture.cr, chromaBytes);
  // The counter rows the field rows use: 1 to h/2 - 2.
  uint8_t* const end = counters + w * static_cast<size_t>(h / 2 - 1);
  for (uint8_t* pair = counters + w; pair < end; pair += 2) {
    if (pair[0] < kStillPicturesForAverage) {
      ++pair[0];
      ++pair[1];
    }
  }
  const size_t lumaBytes = w * static_cast<size_t>(h);
  CopyRow(out.y, picture.y, lumaBytes);
  CopyRow(previous, picture.y, lumaBytes);
}

// The top field's lines are kept; the others are rebuilt, row pair by row
// pair, except the first and last pairs, which repeat their kept line.
void DeinterlaceFieldPicture(const AvcDecPicture& picture, const Frame& out, uint8_t* previous, uint8_t* counters, int h,
                      DeinterlaceRowKernel rowKernel) {
  const size_t w = static_cast<size_t>(picture.lumaStride);
  const size_t cw = static_cast<size_t>(picture.chromaStride);
  // Chroma: the top field's lines, each twice.
  for (int k = 0; k < h / 4; ++k) {
    const size_t from = static_cast<size_t>(2 * k) * cw;
    for (const auto& [source, destination] : {std::pair{picture.cb, out.cb}, std::pair{picture.cr, out.cr}}) {
      CopyRow(destination + from, source + from, cw);
      CopyRow(destination + from + cw, source + from, cw);
    }
  }
  auto row = [w](auto* plane, int line) { return plane + w * static_cast<size_t>(line); };
  CopyRow(row(out.y, 0), row(picture.y, 0), w);
  CopyRow(row(out.y, 1), row(picture.y, 0), w);
  for (int k = 1; k <= h / 2 - 2; ++k) {
    const int line = 2 * k;
    const DeinterlaceRowJob job = {
        {row(picture.y, line), row(picture.y, line + 1), row(picture.y, line + 2), row(picture.y, line + 3)},
        {row(previous, line), row(previous, line + 1), row(previous, line + 2), row(previous, line + 3)},
        {row(out.y, line), row(out.y, line + 1)},
        row(counters, k),
        picture.lumaStride,
    };
    rowKernel(job);
  }
  CopyRow(row(out.y, h - 2), row(picture.y, h - 2), w);
  CopyRow(row(out.y, h - 1), row(picture.y, h - 2), w);
  CopyRow(previous, picture.y, w * static_cast<size_t>(h));
}

}  // namespace

void DeinterlacePicture(const DeinterlaceState& state, const KernelSet& kernels, AvcDecPicture& picture,
                        DeinterlaceMode mode) {
  // The whole frame, whose lines hold both fields of a field-coded picture.
  const int h = mode == DeinterlaceMode::kField ? 2 * picture.height : picture.height;
  const int w = picture.lumaStride;
  if (w < 2 || h < 4 || static_cast<size_t>(w) * static_cast<size_t>(h) > state.lumaBytes) return;
  const Frame out = {state.output, state.output + state.lumaBytes, state.output + state.lumaBytes * 5 / 4};
  uint8_t* previous = state.previous;
  uint8_t* counters = state.previous + state.lumaBytes;
  if (mode == DeinterlaceMode::kField) {
    DeinterlaceFieldPicture(picture, out, previous, counters, h, kernels.deinterlace);
  } else {
    PassFramePicture(picture, out, previous, counters, h);
  }
  picture.y = out.y;
  picture.cb = out.cb;
  picture.cr = out.cr;
}

}  // namespace avc
