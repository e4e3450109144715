#pragma once
// One JPEG picture (T.81 interchange format) from a CJpegInputStream:
// baseline and extended sequential Huffman (SOF0, SOF1) and progressive
// Huffman (SOF2), 8-bit samples, grey, YCbCr or RGB (jpeg_colour_space.h)
// with sampling 1×1, 2×1, 1×2 or 2×2 for the first component and 1×1 for
// the other two.  Rows come out one at a time: 1 byte per pixel for grey,
// R, G, B, 0 for colour, the second and third components replicated.
//
// fast (the player's): 64-bit bit reader, AAN IDCT on prescaled tables.
// accurate: 32-bit bit reader, dequantised coefficients, LLM IDCT.
//
// Every fault ends in a negative code (jpeg_errors.h); the decoder then
// holds no stream and no buffers and every later call returns -1.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpeg_bit_reader.h"
#include "codecs/jpeg/jpeg_byte_source.h"
#include "codecs/jpeg/jpeg_colour_space.h"
#include "codecs/jpeg/jpeg_huffman.h"
#include "codecs/jpeg/jpeg_input_stream.h"
#include "codecs/jpeg/jpeg_kernel_set.h"

class CJpegDecoder {
 public:
  // Finds SOI and reads the markers up to and including the frame header.
  CJpegDecoder(CJpegInputStream* stream, bool fast);
  ~CJpegDecoder();
  CJpegDecoder(const CJpegDecoder&) = delete;
  CJpegDecoder& operator=(const CJpegDecoder&) = delete;

  // 0 when decoding can start (a progressive picture is decoded here
  // whole), -1 on error.
  int32_t StartDecompress();
  // 0 with the next row, 1 once every row was delivered, -1 after an
  // earlier error or before StartDecompress, -227 when this call failed.
  int32_t ReadScanline(uint8_t** row, int32_t* rowBytes);

  // The quantised coefficients of one component of the whole picture:
  // blocks of 64 in natural order, `columns` blocks per row, padded to
  // whole MCUs.
  struct CoefficientPlane {
    int columns = 0;
    int rows = 0;
    std::vector<int16_t> blocks;
  };
  // Instead of rows, after StartDecompress: every component's coefficients
  // as entropy decoding leaves them.  0, or the error code.
  int32_t ReadCoefficients(std::vector<CoefficientPlane>& planes);

  int32_t ErrorCode() const { return error_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Components() const { return componentCount_; }

 private:
  struct Component {
    int id = 0;
    int h = 1, v = 1;    // sampling factors of the frame header
    int tq = 0;
    int outH = 1, outV = 1;  // blocks per output MCU
    int columns = 0;     // blocks per row of the coefficient store
    int dcSlot = 0, acSlot = 0;
    int16_t predictor = 0;
    std::vector<int16_t> coefficients;  // baseline: one MCU row; progressive: the whole picture
    std::vector<uint8_t> samples;       // one MCU row of samples, columns × 8 wide
  };

  struct Scan {
    int count = 0;
    std::array<int, 4> components{};  // frame component indices
    int ss = 0, se = 63, ah = 0, al = 0;
    int mcusPerRow = 0, mcuRows = 0;
  };

  void ReleaseAll();
  template <class Step>
  int32_t Guarded(int32_t failure, Step step);

  void FindStartOfImage();
  int ReadMarker();
  void ReadFrameHeader();
  void ReadScanHeader();
  void ReadHuffmanTables();
  void ReadQuantTables();
  void SkipSegment(int marker);
  void PrepareOutput();
  void SetupScan();
  void CheckScanTables();
  void StartRestarts();
  void ProcessRestart();

  template <class Reader>
  void DecodeMcuRow(Reader& reader);
  template <class Reader>
  void DecodeBaselineBlock(Reader& reader, Component& component, int16_t* block);
  void DecodeProgressive();
  template <class Reader>
  void DecodeProgressiveScan(Reader& reader);
  template <class Reader>
  void DecodeProgressiveBlock(Reader& reader, Component& component, int16_t* block);
  template <class Reader>
  void RefineAc(Reader& reader, int16_t* block);
  int16_t* ProgressiveBlock(Component& component, int column, int row);
  void TransformMcuRow(int mcuRow);
  void DeliverRow(int rowInMcu, uint8_t** row);

  template <class Reader>
  int DecodeDc(Reader& reader, const jpeg::HuffmanTable& table);

  CJpegInputStream* stream_ = nullptr;
  std::unique_ptr<jpeg::JpegByteSource> source_;
  bool fast_ = true;
  const jpeg::JpegKernelSet* kernels_ = nullptr;
  int32_t error_ = 0;
  bool started_ = false;

  int32_t width_ = 0, height_ = 0;
  bool progressive_ = false;
  int componentCount_ = 0;
  std::array<Component, 4> components_{};
  int hMax_ = 1, vMax_ = 1;
  jpeg::ColourMarkers colourMarkers_;
  bool colourFixed_ = false;
  bool rgb_ = false;  // three components stored as R, G, B: no colour conversion

  std::array<jpeg::HuffmanSpec, 8> huffmanSpecs_{};
  std::array<bool, 8> huffmanDefined_{};
  std::array<jpeg::HuffmanTable, 8> huffmanTables_{};
  std::array<std::array<uint16_t, 64>, 4> quant_{};      // natural order
  std::array<std::array<uint16_t, 64>, 4> prescaled_{};  // natural order, for the fast IDCT
  std::array<bool, 4> quantDefined_{};

  Scan scan_;
  int restartInterval_ = 0, restartsToGo_ = 0, nextRestart_ = 0;
  uint32_t eobRun_ = 0;
  int scansRead_ = 0;

  int mcuWidth_ = 8, mcuHeight_ = 8, mcusPerRow_ = 0, mcuRows_ = 0;
  int rowsLeft_ = 0, rowsLeftInMcuRow_ = 0, mcuRowsDone_ = 0;
  std::vector<uint8_t> row_;
  std::unique_ptr<jpeg::JpegBitReader<uint64_t>> wideReader_;
  std::unique_ptr<jpeg::JpegBitReader<uint32_t>> narrowReader_;
};
