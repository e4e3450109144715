// The MCU layout of the picture and of each scan, the stores the picture
// needs and the tables a scan needs.
#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"

using jpeg::Fail;

namespace {

constexpr int kMaxBlocksPerMcu = 10;
constexpr int kMaxBlocksPerMcuRow = 6144;

int CeilDiv(int64_t value, int64_t divisor) { return static_cast<int>((value + divisor - 1) / divisor); }

}  // namespace

void CJpegDecoder::PrepareOutput() {
  if (componentCount_ != 1 && componentCount_ != 3) Fail(jpeg::kJpegComponentCount);
  for (int c = 0; c < componentCount_; ++c) {
    const Component& component = components_[static_cast<size_t>(c)];
    if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4) Fail(jpeg::kJpegSampling);
  }
  Component& luma = components_[0];
  if (componentCount_ == 1) {
    luma.outH = luma.outV = 1;
    hMax_ = luma.h;
    vMax_ = luma.v;
  } else {
    if (luma.h > 2 || luma.v > 2) Fail(jpeg::kJpegSampling);
    for (int c = 1; c < 3; ++c) {
      Component& chroma = components_[static_cast<size_t>(c)];
      if (chroma.h != 1 || chroma.v != 1) Fail(jpeg::kJpegSampling);
      chroma.outH = chroma.outV = 1;
    }
    luma.outH = luma.h;
    luma.outV = luma.v;
    hMax_ = luma.h;
    vMax_ = luma.v;
  }
  mcuWidth_ = 8 * luma.outH;
  mcuHeight_ = 8 * luma.outV;
  mcusPerRow_ = CeilDiv(width_, mcuWidth_);
  mcuRows_ = CeilDiv(height_, mcuHeight_);
  int blocksPerMcuRow = 0;
  for (int c = 0; c < componentCount_; ++c) {
    Component& component = components_[static_cast<size_t>(c)];
    component.columns = component.outH * mcusPerRow_;
    blocksPerMcuRow += component.columns * component.outV;
  }
  if (blocksPerMcuRow > kMaxBlocksPerMcuRow) Fail(jpeg::kJpegBlockPosition);
  for (int c = 0; c < componentCount_; ++c) {
    Component& component = components_[static_cast<size_t>(c)];
    const size_t rowBlocks = static_cast<size_t>(component.columns) * static_cast<size_t>(component.outV);
    const size_t storedBlocks = progressive_ ? rowBlocks * static_cast<size_t>(mcuRows_) : rowBlocks;
    component.coefficients.assign(storedBlocks * 64, 0);
    component.samples.assign(rowBlocks * 64, 0);
  }
  row_.assign(static_cast<size_t>(width_) * (componentCount_ == 1 ? 1 : 4), 0);
  rowsLeft_ = height_;
  rowsLeftInMcuRow_ = 0;
}

void CJpegDecoder::SetupScan() {
  if (scan_.count == 1) {
    const Component& component = components_[static_cast<size_t>(scan_.components[0])];
    const int componentWidth = CeilDiv(static_cast<int64_t>(width_) * component.h, hMax_);
    const int componentHeight = CeilDiv(static_cast<int64_t>(height_) * component.v, vMax_);
    scan_.mcusPerRow = CeilDiv(componentWidth, 8);
    scan_.mcuRows = CeilDiv(componentHeight, 8);
    return;
  }
  int blocks = 0;
  for (int i = 0; i < scan_.count; ++i) {
    const Component& component = components_[static_cast<size_t>(scan_.components[static_cast<size_t>(i)])];
    blocks += component.h * component.v;
  }
  if (blocks > kMaxBlocksPerMcu) Fail(jpeg::kJpegScanHeader);
  scan_.mcusPerRow = CeilDiv(width_, 8 * hMax_);
  scan_.mcuRows = CeilDiv(height_, 8 * vMax_);
}

void CJpegDecoder::CheckScanTables() {
  const bool needsDc = scan_.ss == 0 && scan_.ah == 0;
  const bool needsAc = scan_.se > 0;
  for (int i = 0; i < scan_.count; ++i) {
    const Component& component = components_[static_cast<size_t>(scan_.components[static_cast<size_t>(i)])];
    if (component.tq >= 4 || !quantDefined_[static_cast<size_t>(component.tq)]) Fail(jpeg::kJpegMissingQuantTable);
    if (needsDc) {
      if (component.dcSlot >= 8 || !huffmanDefined_[static_cast<size_t>(component.dcSlot)])
        Fail(jpeg::kJpegMissingHuffmanTable);
      huffmanTables_[static_cast<size_t>(component.dcSlot)].Build(huffmanSpecs_[static_cast<size_t>(component.dcSlot)]);
    }
    if (needsAc) {
      if (component.acSlot >= 8 || !huffmanDefined_[static_cast<size_t>(component.acSlot)])
        Fail(jpeg::kJpegMissingHuffmanTable);
      huffmanTables_[static_cast<size_t>(component.acSlot)].Build(huffmanSpecs_[static_cast<size_t>(component.acSlot)]);
    }
  }
}
