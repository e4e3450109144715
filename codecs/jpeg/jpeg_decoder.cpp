#include "codecs/jpeg/jpeg_decoder.h"

#include <new>
#include <stdexcept>

#include "codecs/jpeg/jpeg_errors.h"
#include "codecs/jpeg/jpeg_kernels.h"
#include "codecs/jpeg/jpeg_markers.h"

using jpeg::Fail;
using namespace jpeg::marker;

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
