// Progressive pictures (T.81 G.1.2): every scan into the whole picture's
// coefficients before the first row comes out.
#include <memory>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_markers.h"
#include "codecs/jpeg/jpeg_scan_coding.h"

using jpeg::Extend;
using jpeg::Fail;
using jpeg::kZigzag;
using namespace jpeg::marker;

namespace {

constexpr int kMaxProgressiveScans = 500;

}  // namespace

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
