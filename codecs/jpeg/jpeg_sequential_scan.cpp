// Sequential pictures (baseline and extended): one interleaved scan, decoded
// an MCU row at a time.
#include <cstring>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_scan_coding.h"

using jpeg::Extend;
using jpeg::Fail;
using jpeg::kZigzag;

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

// Both bit readers: the fast decoder's and the accurate one's.
template void CJpegDecoder::DecodeMcuRow(jpeg::JpegBitReader<uint64_t>& reader);
template void CJpegDecoder::DecodeMcuRow(jpeg::JpegBitReader<uint32_t>& reader);
