// Output: the IDCT of an MCU row's blocks, then its rows one at a time,
// colour converted.
#include <cstring>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_idct.h"

void CJpegDecoder::TransformMcuRow(int mcuRow) {
  for (int c = 0; c < componentCount_; ++c) {
    Component& component = components_[static_cast<size_t>(c)];
    const ptrdiff_t stride = static_cast<ptrdiff_t>(component.columns) * 8;
    for (int v = 0; v < component.outV; ++v) {
      const size_t firstRow = progressive_ ? static_cast<size_t>(mcuRow * component.outV + v) : static_cast<size_t>(v);
      for (int column = 0; column < component.columns; ++column) {
        const size_t index = firstRow * static_cast<size_t>(component.columns) + static_cast<size_t>(column);
        const int16_t* block = &component.coefficients[index * 64];
        uint8_t* out = &component.samples[static_cast<size_t>(v * 8 * stride + column * 8)];
        if (fast_) {
          kernels_->fastIdct(block, prescaled_[static_cast<size_t>(component.tq)].data(), out, stride);
        } else {
          jpeg::AccurateIdct(block, quant_[static_cast<size_t>(component.tq)].data(), out, stride);
        }
      }
    }
  }
}

void CJpegDecoder::DeliverRow(int rowInMcu, uint8_t** row) {
  const Component& luma = components_[0];
  const size_t lumaStride = static_cast<size_t>(luma.columns) * 8;
  const uint8_t* y = &luma.samples[static_cast<size_t>(rowInMcu) * lumaStride];
  if (componentCount_ == 1) {
    std::memcpy(row_.data(), y, static_cast<size_t>(width_));
  } else {
    const size_t chromaStride = static_cast<size_t>(components_[1].columns) * 8;
    const size_t chromaRow = static_cast<size_t>(rowInMcu / luma.outV) * chromaStride;
    const uint8_t* second = &components_[1].samples[chromaRow];
    const uint8_t* third = &components_[2].samples[chromaRow];
    const int shift = luma.outH - 1;
    if (rgb_) {
      for (int32_t x = 0; x < width_; ++x) {
        row_[4 * static_cast<size_t>(x) + 0] = y[x];
        row_[4 * static_cast<size_t>(x) + 1] = second[x >> shift];
        row_[4 * static_cast<size_t>(x) + 2] = third[x >> shift];
      }
    } else {
      kernels_->convertRow(y, second, third, width_, shift, row_.data());
    }
  }
  *row = row_.data();
}
