// Marker segments and the frame and scan headers.
#include <algorithm>
#include <array>

#include "codecs/jpeg/jpeg_colour_space.h"
#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_idct.h"
#include "codecs/jpeg/jpeg_markers.h"
#include "codecs/jpeg/jpeg_scan_coding.h"

using jpeg::Fail;
using jpeg::kZigzag;
using namespace jpeg::marker;

namespace {

constexpr int32_t kMaxDimension = 8192;
constexpr int kStartOfImageSearch = 512;

bool IsFrameMarker(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != kDht && marker != kJpg && marker != kDac;
}

}  // namespace

void CJpegDecoder::FindStartOfImage() {
  uint8_t previous = source_->Raw();
  for (int offset = 0; offset < kStartOfImageSearch; ++offset) {
    const uint8_t next = source_->Raw();
    if (previous == 0xFF && next == kSoi) return;
    previous = next;
  }
  Fail(jpeg::kJpegNoStartOfImage);
}

int CJpegDecoder::ReadMarker() {
  for (;;) {
    uint8_t byte = source_->Raw();
    if (byte != 0xFF) continue;
    do byte = source_->Raw();
    while (byte == 0xFF);
    if (byte == 0x00) continue;
    const int marker = byte;
    if (IsFrameMarker(marker) || marker == kSoi || marker == kEoi || marker == kSos) return marker;
    switch (marker) {
      case kDht:
        ReadHuffmanTables();
        break;
      case kDqt:
        ReadQuantTables();
        break;
      case kDri:
        if (source_->Raw16() != 4) Fail(jpeg::kJpegRestartLength);
        restartInterval_ = source_->Raw16();
        break;
      case kDac:
        Fail(jpeg::kJpegArithmetic);
      case kJpg:
        Fail(jpeg::kJpegUnexpectedMarker);
      case kTem:
        break;  // no segment; stray ones are passed over as other decoders do
      default:
        if (marker >= kRst0 && marker <= kRst7) break;
        SkipSegment(marker);
        break;
    }
  }
}

// The start of each segment is looked at for the JFIF and Adobe markers
// that tell the picture's colours; the rest is passed over.
void CJpegDecoder::SkipSegment(int marker) {
  const int length = source_->Raw16();
  if (length < 2) Fail(jpeg::kJpegSegmentLength);
  std::array<uint8_t, jpeg::kApplicationDataExamined> start{};
  const size_t examined = std::min(static_cast<size_t>(length - 2), start.size());
  for (size_t i = 0; i < examined; ++i) start[i] = source_->Raw();
  for (size_t i = 2 + examined; i < static_cast<size_t>(length); ++i) source_->Raw();
  jpeg::NoteApplicationData(marker, start.data(), examined, colourMarkers_);
}

void CJpegDecoder::ReadFrameHeader() {
  const int length = source_->Raw16();
  if (source_->Raw() != 8) Fail(jpeg::kJpegPrecision);
  height_ = source_->Raw16();
  if (height_ < 1 || height_ > kMaxDimension) Fail(jpeg::kJpegHeight);
  width_ = source_->Raw16();
  if (width_ < 1 || width_ > kMaxDimension) Fail(jpeg::kJpegWidth);
  componentCount_ = source_->Raw();
  if (componentCount_ > 4) Fail(jpeg::kJpegComponentLimit);
  if (length != 8 + 3 * componentCount_) Fail(jpeg::kJpegFrameLength);
  for (int i = 0; i < componentCount_; ++i) {
    Component& component = components_[static_cast<size_t>(i)];
    component.id = source_->Raw();
    const uint8_t factors = source_->Raw();
    component.h = factors >> 4;
    component.v = factors & 15;
    component.tq = source_->Raw();
  }
}

void CJpegDecoder::ReadHuffmanTables() {
  int left = source_->Raw16();
  if (left < 2) Fail(jpeg::kJpegHuffmanLength);
  left -= 2;
  while (left > 0) {
    if (left < 17) Fail(jpeg::kJpegHuffmanLength);
    const uint8_t classAndNumber = source_->Raw();
    jpeg::HuffmanSpec spec;
    int total = 0;
    for (int length = 1; length <= 16; ++length) {
      spec.counts[static_cast<size_t>(length)] = source_->Raw();
      total += spec.counts[static_cast<size_t>(length)];
    }
    if (total > 255) Fail(jpeg::kJpegHuffmanCodeSpace);
    if (left < 17 + total) Fail(jpeg::kJpegHuffmanLength);
    for (int i = 0; i < total; ++i) spec.values[static_cast<size_t>(i)] = source_->Raw();
    left -= 17 + total;
    const int slot = (classAndNumber & 15) + 4 * ((classAndNumber >> 4) & 1);
    if (slot >= 8) Fail(jpeg::kJpegHuffmanSlot);
    // Refuse an overfull code space here, before any scan can use it.
    jpeg::HuffmanTable check;
    check.Build(spec);
    huffmanSpecs_[static_cast<size_t>(slot)] = spec;
    huffmanDefined_[static_cast<size_t>(slot)] = true;
  }
}

void CJpegDecoder::ReadQuantTables() {
  int left = source_->Raw16();
  if (left < 2) Fail(jpeg::kJpegQuantLength);
  left -= 2;
  while (left > 0) {
    const uint8_t precisionAndSlot = source_->Raw();
    const int slot = precisionAndSlot & 15;
    if (slot >= 4) Fail(jpeg::kJpegQuantSlot);
    const bool wide = (precisionAndSlot >> 4) != 0;
    if (left < 1 + 64 * (wide ? 2 : 1)) Fail(jpeg::kJpegQuantShort);
    left -= 1 + 64 * (wide ? 2 : 1);
    for (int i = 0; i < 64; ++i) {
      const uint16_t value = wide ? source_->Raw16() : source_->Raw();
      const int natural = kZigzag[i];
      quant_[static_cast<size_t>(slot)][static_cast<size_t>(natural)] = value;
      prescaled_[static_cast<size_t>(slot)][static_cast<size_t>(natural)] = jpeg::PrescaledQuant(value, natural);
    }
    quantDefined_[static_cast<size_t>(slot)] = true;
  }
}

void CJpegDecoder::ReadScanHeader() {
  const int length = source_->Raw16();
  const int count = source_->Raw();
  if (count < 1 || count > 4 || length != 6 + 2 * count) Fail(jpeg::kJpegScanHeader);
  scan_ = Scan{};
  scan_.count = count;
  int previous = -1;
  for (int i = 0; i < count; ++i) {
    const int id = source_->Raw();
    int index = -1;
    for (int c = 0; c < componentCount_; ++c) {
      if (components_[static_cast<size_t>(c)].id == id) {
        index = c;
        break;
      }
    }
    if (index < 0) Fail(jpeg::kJpegScanComponent);
    // Distinct and in frame order: the MCU layout depends on it.
    if (index <= previous) Fail(jpeg::kJpegScanHeader);
    previous = index;
    scan_.components[static_cast<size_t>(i)] = index;
    const uint8_t tables = source_->Raw();
    components_[static_cast<size_t>(index)].dcSlot = tables >> 4;
    components_[static_cast<size_t>(index)].acSlot = (tables & 15) + 4;
  }
  // As other decoders do, only the markers before the first scan count.
  if (!colourFixed_) {
    const int ids[3] = {components_[0].id, components_[1].id, components_[2].id};
    rgb_ = componentCount_ == 3 && jpeg::IsRgb(colourMarkers_, ids);
    colourFixed_ = true;
  }
  scan_.ss = source_->Raw();
  scan_.se = source_->Raw();
  const uint8_t approximation = source_->Raw();
  scan_.ah = approximation >> 4;
  scan_.al = approximation & 15;
  if (!progressive_) {
    // A sequential picture is decoded from one scan: it must carry every component.
    if (count != componentCount_) Fail(jpeg::kJpegNonInterleavedScan);
    scan_.ss = 0;
    scan_.se = 63;
    scan_.ah = 0;
    scan_.al = 0;
  }
}
