#include "codecs/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "codecs/jpeg/jpeg_colour_space.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_idct.h"
#include "codecs/jpeg/jpeg_kernels.h"

using jpeg::Fail;

namespace {

// Natural (row-major) position of each zig-zag index (T.81 Figure A.6).
constexpr uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

constexpr int32_t kMaxDimension = 8192;
constexpr int kStartOfImageSearch = 512;
constexpr int kRestartSearch = 1536;
constexpr int kMaxProgressiveScans = 500;
constexpr int kMaxBlocksPerMcu = 10;
constexpr int kMaxBlocksPerMcuRow = 6144;

enum Marker : int {
  kSof0 = 0xC0, kSof1 = 0xC1, kSof2 = 0xC2, kDht = 0xC4, kJpg = 0xC8, kSof9 = 0xC9, kDac = 0xCC,
  kRst0 = 0xD0, kRst7 = 0xD7, kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDqt = 0xDB, kDri = 0xDD, kTem = 0x01,
};

bool IsFrameMarker(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != kDht && marker != kJpg && marker != kDac;
}

// EXTEND of T.81 F.2.2.1.
int32_t Extend(uint32_t value, int size) {
  return value < (1u << (size - 1)) ? static_cast<int32_t>(value) - (1 << size) + 1 : static_cast<int32_t>(value);
}

int CeilDiv(int64_t value, int64_t divisor) { return static_cast<int>((value + divisor - 1) / divisor); }

}  // namespace

CJpegDecoder::CJpegDecoder(CJpegInputStream* stream, bool fast)
    : stream_(stream), fast_(fast), kernels_(&jpeg::kernels::Active()) {
  Guarded(0, [&] {
    if (stream_ == nullptr) Fail(jpeg::kJpegReadError);
    stream_->Open();
    source_ = std::make_unique<jpeg::JpegByteSource>(*stream_);
    FindStartOfImage();
    const int marker = ReadMarker();
    if (marker == kSof0 || marker == kSof1) {
      progressive_ = false;
    } else if (marker == kSof2) {
      progressive_ = true;
    } else if (marker == kSof9) {
      Fail(jpeg::kJpegArithmetic);
    } else {
      Fail(jpeg::kJpegFrameType);
    }
    ReadFrameHeader();
  });
}

CJpegDecoder::~CJpegDecoder() { ReleaseAll(); }

template <class Step>
int32_t CJpegDecoder::Guarded(int32_t failure, Step step) {
  try {
    step();
    return 0;
  } catch (const jpeg::JpegFailure& fault) {
    error_ = fault.code;
  } catch (const std::bad_alloc&) {
    error_ = jpeg::kJpegOutOfMemory;
  } catch (const std::length_error&) {
    error_ = jpeg::kJpegOutOfMemory;
  }
  ReleaseAll();
  return failure;
}

void CJpegDecoder::ReleaseAll() {
  wideReader_.reset();
  narrowReader_.reset();
  source_.reset();
  if (stream_ != nullptr) {
    stream_->Close();
    stream_ = nullptr;
  }
  for (Component& component : components_) {
    std::vector<int16_t>().swap(component.coefficients);
    std::vector<uint8_t>().swap(component.samples);
  }
  std::vector<uint8_t>().swap(row_);
}

int32_t CJpegDecoder::StartDecompress() {
  if (started_) return 0;
  if (error_ != 0) return -1;
  return Guarded(-1, [&] {
    PrepareOutput();
    if (progressive_) {
      DecodeProgressive();
    } else {
      if (ReadMarker() != kSos) Fail(jpeg::kJpegUnexpectedMarker);
      ReadScanHeader();
      SetupScan();
      CheckScanTables();
      StartRestarts();
      if (fast_) {
        wideReader_ = std::make_unique<jpeg::JpegBitReader<uint64_t>>(*source_);
      } else {
        narrowReader_ = std::make_unique<jpeg::JpegBitReader<uint32_t>>(*source_);
      }
    }
    started_ = true;
  });
}

int32_t CJpegDecoder::ReadScanline(uint8_t** row, int32_t* rowBytes) {
  if (error_ != 0 || !started_) return -1;
  if (rowsLeft_ == 0) return 1;
  return Guarded(jpeg::kJpegBlockOverrun, [&] {
    if (rowsLeftInMcuRow_ == 0) {
      if (!progressive_) {
        if (wideReader_) {
          DecodeMcuRow(*wideReader_);
        } else {
          DecodeMcuRow(*narrowReader_);
        }
      }
      TransformMcuRow(mcuRowsDone_);
      ++mcuRowsDone_;
      rowsLeftInMcuRow_ = mcuHeight_;
    }
    DeliverRow(mcuHeight_ - rowsLeftInMcuRow_, row);
    if (rowBytes != nullptr) *rowBytes = componentCount_ == 1 ? width_ : width_ * 4;
    --rowsLeftInMcuRow_;
    --rowsLeft_;
  });
}

int32_t CJpegDecoder::ReadCoefficients(std::vector<CoefficientPlane>& planes) {
  if (error_ != 0 || !started_ || mcuRowsDone_ != 0) return error_ != 0 ? error_ : -1;
  planes.assign(static_cast<size_t>(componentCount_), CoefficientPlane{});
  Guarded(0, [&] {
    for (int c = 0; c < componentCount_; ++c) {
      const Component& component = components_[static_cast<size_t>(c)];
      planes[static_cast<size_t>(c)].columns = component.columns;
      planes[static_cast<size_t>(c)].rows = component.outV * mcuRows_;
      if (progressive_) planes[static_cast<size_t>(c)].blocks = component.coefficients;
    }
    if (progressive_) return;
    for (int row = 0; row < mcuRows_; ++row) {
      if (wideReader_) {
        DecodeMcuRow(*wideReader_);
      } else {
        DecodeMcuRow(*narrowReader_);
      }
      for (int c = 0; c < componentCount_; ++c) {
        const std::vector<int16_t>& decoded = components_[static_cast<size_t>(c)].coefficients;
        std::vector<int16_t>& blocks = planes[static_cast<size_t>(c)].blocks;
        blocks.insert(blocks.end(), decoded.begin(), decoded.end());
      }
    }
  });
  rowsLeft_ = 0;
  return error_;
}

// ---- Markers and headers ----

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

// ---- Geometry ----

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

// ---- Restarts ----

void CJpegDecoder::StartRestarts() {
  for (Component& component : components_) component.predictor = 0;
  eobRun_ = 0;
  restartsToGo_ = restartInterval_;
  nextRestart_ = 0;
}

void CJpegDecoder::ProcessRestart() {
  int budget = kRestartSearch;
  uint8_t byte = source_->Raw();
  while (byte != 0xFF) {
    if (--budget <= 0) Fail(jpeg::kJpegRestart);
    byte = source_->Raw();
  }
  do {
    byte = source_->Raw();
    if (byte != 0xFF) break;
    if (--budget <= 0) Fail(jpeg::kJpegRestart);
  } while (true);
  if (byte != kRst0 + nextRestart_) Fail(jpeg::kJpegRestart);
  for (Component& component : components_) component.predictor = 0;
  eobRun_ = 0;
  restartsToGo_ = restartInterval_;
  nextRestart_ = (nextRestart_ + 1) & 7;
}

// ---- Sequential (baseline and extended) ----

template <class Reader>
int CJpegDecoder::DecodeDc(Reader& reader, const jpeg::HuffmanTable& table) {
  const int size = table.Decode(reader);
  if (size > 15) Fail(jpeg::kJpegBlockOverrun);
  return size == 0 ? 0 : Extend(reader.Get(size), size);
}

template <class Reader>
void CJpegDecoder::DecodeBaselineBlock(Reader& reader, Component& component, int16_t* block) {
  std::memset(block, 0, 64 * sizeof(int16_t));
  // Predictors are 16-bit, as the coefficients they feed.
  component.predictor = static_cast<int16_t>(
      component.predictor + DecodeDc(reader, huffmanTables_[static_cast<size_t>(component.dcSlot)]));
  block[0] = component.predictor;
  const jpeg::HuffmanTable& ac = huffmanTables_[static_cast<size_t>(component.acSlot)];
  for (int k = 1; k < 64;) {
    const int symbol = ac.Decode(reader);
    const int run = symbol >> 4;
    const int size = symbol & 15;
    if (size != 0) {
      k += run;
      if (k > 63) Fail(jpeg::kJpegBlockOverrun);
      block[kZigzag[k]] = static_cast<int16_t>(Extend(reader.Get(size), size));
      ++k;
    } else if (run == 15) {
      if (k + 15 > 63) Fail(jpeg::kJpegBlockOverrun);
      k += 16;
    } else {
      break;
    }
  }
}

template <class Reader>
void CJpegDecoder::DecodeMcuRow(Reader& reader) {
  for (int mcu = 0; mcu < scan_.mcusPerRow; ++mcu) {
    if (restartInterval_ != 0 && restartsToGo_ == 0) {
      reader.Reset();
      ProcessRestart();
    }
    if (scan_.count == 1) {
      Component& component = components_[static_cast<size_t>(scan_.components[0])];
      DecodeBaselineBlock(reader, component, &component.coefficients[static_cast<size_t>(mcu) * 64]);
    } else {
      for (int i = 0; i < scan_.count; ++i) {
        Component& component = components_[static_cast<size_t>(scan_.components[static_cast<size_t>(i)])];
        for (int v = 0; v < component.v; ++v) {
          for (int h = 0; h < component.h; ++h) {
            const size_t index = static_cast<size_t>(v * component.columns + mcu * component.h + h);
            DecodeBaselineBlock(reader, component, &component.coefficients[index * 64]);
          }
        }
      }
    }
    if (restartInterval_ != 0) --restartsToGo_;
  }
}

// ---- Progressive (T.81 G.1.2) ----

void CJpegDecoder::DecodeProgressive() {
  narrowReader_ = std::make_unique<jpeg::JpegBitReader<uint32_t>>(*source_);
  for (;;) {
    const int marker = ReadMarker();
    if (marker == kEoi) break;
    if (marker != kSos) Fail(jpeg::kJpegUnexpectedMarker);
    if (++scansRead_ > kMaxProgressiveScans) Fail(jpeg::kJpegUnexpectedMarker);
    ReadScanHeader();
    SetupScan();
    CheckScanTables();
    if (scan_.ss > scan_.se || scan_.se > 63) Fail(jpeg::kJpegSpectralBand);
    if (scan_.ss == 0 && scan_.se != 0) Fail(jpeg::kJpegSpectralBand);
    if (scan_.ss > 0 && scan_.count != 1) Fail(jpeg::kJpegSpectralBand);
    if (scan_.ah != 0 && scan_.al != scan_.ah - 1) Fail(jpeg::kJpegApproximation);
    StartRestarts();
    narrowReader_->Reset();
    DecodeProgressiveScan(*narrowReader_);
    narrowReader_->Reset();
  }
  // Components no scan named still need their table for the output.
  for (int c = 0; c < componentCount_; ++c) {
    const int tq = components_[static_cast<size_t>(c)].tq;
    if (tq >= 4 || !quantDefined_[static_cast<size_t>(tq)]) Fail(jpeg::kJpegMissingQuantTable);
  }
}

int16_t* CJpegDecoder::ProgressiveBlock(Component& component, int column, int row) {
  if (column >= component.columns || row >= component.outV * mcuRows_) Fail(jpeg::kJpegBlockPosition);
  const size_t index = static_cast<size_t>(row) * static_cast<size_t>(component.columns) + static_cast<size_t>(column);
  return &component.coefficients[index * 64];
}

template <class Reader>
void CJpegDecoder::DecodeProgressiveScan(Reader& reader) {
  for (int mcuRow = 0; mcuRow < scan_.mcuRows; ++mcuRow) {
    for (int mcu = 0; mcu < scan_.mcusPerRow; ++mcu) {
      if (restartInterval_ != 0 && restartsToGo_ == 0) {
        reader.Reset();
        ProcessRestart();
      }
      if (scan_.count == 1) {
        Component& component = components_[static_cast<size_t>(scan_.components[0])];
        DecodeProgressiveBlock(reader, component, ProgressiveBlock(component, mcu, mcuRow));
      } else {
        for (int i = 0; i < scan_.count; ++i) {
          Component& component = components_[static_cast<size_t>(scan_.components[static_cast<size_t>(i)])];
          for (int v = 0; v < component.v; ++v) {
            for (int h = 0; h < component.h; ++h) {
              int16_t* block = ProgressiveBlock(component, mcu * component.h + h, mcuRow * component.v + v);
              DecodeProgressiveBlock(reader, component, block);
            }
          }
        }
      }
      if (restartInterval_ != 0) --restartsToGo_;
    }
  }
}

template <class Reader>
void CJpegDecoder::DecodeProgressiveBlock(Reader& reader, Component& component, int16_t* block) {
  const int32_t scale = 1 << scan_.al;
  if (scan_.ss == 0) {
    if (scan_.ah == 0) {
      component.predictor = static_cast<int16_t>(
          component.predictor + DecodeDc(reader, huffmanTables_[static_cast<size_t>(component.dcSlot)]));
      block[0] = static_cast<int16_t>(component.predictor * scale);
    } else if (reader.Get(1) != 0) {
      block[0] = static_cast<int16_t>(block[0] | scale);
    }
    return;
  }
  if (scan_.ah != 0) {
    RefineAc(reader, block);
    return;
  }
  if (eobRun_ > 0) {
    --eobRun_;
    return;
  }
  const jpeg::HuffmanTable& ac = huffmanTables_[static_cast<size_t>(component.acSlot)];
  for (int k = scan_.ss; k <= scan_.se; ++k) {
    const int symbol = ac.Decode(reader);
    const int run = symbol >> 4;
    const int size = symbol & 15;
    if (size != 0) {
      k += run;
      if (k > 63) Fail(jpeg::kJpegBlockOverrun);
      block[kZigzag[k]] = static_cast<int16_t>(Extend(reader.Get(size), size) * scale);
    } else if (run == 15) {
      if (k + 15 > 63) Fail(jpeg::kJpegBlockOverrun);
      k += 15;
    } else {
      eobRun_ = (1u << run) + reader.Get(run) - 1;
      break;
    }
  }
}

template <class Reader>
void CJpegDecoder::RefineAc(Reader& reader, int16_t* block) {
  const int32_t plus = 1 << scan_.al;
  const int32_t minus = -plus;
  // A coefficient already non-zero takes one correction bit wherever the
  // scan passes it; the bit moves it away from zero.
  auto correct = [&](int16_t& coefficient) {
    if (reader.Get(1) != 0 && (coefficient & plus) == 0) {
      coefficient = static_cast<int16_t>(coefficient + (coefficient >= 0 ? plus : minus));
    }
  };
  int k = scan_.ss;
  if (eobRun_ == 0) {
    const jpeg::HuffmanTable& ac = huffmanTables_[static_cast<size_t>(components_[static_cast<size_t>(scan_.components[0])].acSlot)];
    for (; k <= scan_.se; ++k) {
      const int symbol = ac.Decode(reader);
      int run = symbol >> 4;
      const int size = symbol & 15;
      int32_t value = 0;
      if (size != 0) {
        if (size != 1) Fail(jpeg::kJpegBlockOverrun);
        value = reader.Get(1) != 0 ? plus : minus;
      } else if (run != 15) {
        eobRun_ = (1u << run) + reader.Get(run);
        break;
      }
      // Pass `run` zero coefficients (correcting the non-zero ones met on
      // the way); the new value goes into the zero after them.
      while (k <= scan_.se) {
        int16_t& coefficient = block[kZigzag[k]];
        if (coefficient != 0) {
          correct(coefficient);
        } else {
          if (run == 0) break;
          --run;
        }
        ++k;
      }
      if (value != 0 && k < 64) block[kZigzag[k]] = static_cast<int16_t>(value);
    }
  }
  if (eobRun_ > 0) {
    for (; k <= scan_.se; ++k) {
      int16_t& coefficient = block[kZigzag[k]];
      if (coefficient != 0) correct(coefficient);
    }
    --eobRun_;
  }
}

// ---- Output ----

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
