#include "codecs/jpeg/jpeg_errors.h"

namespace jpeg {

namespace {

struct ErrorRow {
  int32_t code;
  bool refusal;
  const char* meaning;
};

constexpr ErrorRow kErrors[] = {
    {kJpegOk, false, ""},
    {kJpegHuffmanCodeSpace, false, "Huffman table overfills its code space"},
    {kJpegHuffmanSlot, false, "Huffman table number out of range"},
    {kJpegHuffmanLength, false, "Huffman table segment too short"},
    {kJpegQuantLength, false, "quantisation table segment too short"},
    {kJpegQuantSlot, false, "quantisation table number out of range"},
    {kJpegPrecision, true, "sample precision other than 8 bits"},
    {kJpegHeight, true, "height 0 or above 8192"},
    {kJpegWidth, true, "width 0 or above 8192"},
    {kJpegComponentLimit, true, "more than 4 components"},
    {kJpegFrameLength, false, "frame header length wrong"},
    {kJpegSegmentLength, false, "segment length below 2"},
    {kJpegRestartLength, false, "restart interval segment length wrong"},
    {kJpegScanHeader, false, "scan header wrong"},
    {kJpegScanComponent, false, "scan names a component not in the frame"},
    {kJpegNonInterleavedScan, true, "non-interleaved sequential scans"},
    {kJpegArithmetic, true, "arithmetic coding"},
    {kJpegUnexpectedMarker, false, "marker out of place"},
    {kJpegNoStartOfImage, false, "no start of image"},
    {kJpegFrameType, true, "frame type not supported (lossless, hierarchical)"},
    {kJpegQuantShort, false, "quantisation table segment cut short"},
    {kJpegMissingQuantTable, false, "scan without its quantisation table"},
    {kJpegMissingHuffmanTable, true, "no Huffman tables (motion-JPEG style)"},
    {kJpegComponentCount, true, "component count other than 1 or 3"},
    {kJpegSampling, true, "sampling factors not supported"},
    {kJpegBlockOverrun, false, "entropy-coded data damaged"},
    {kJpegRestart, false, "restart marker missing or out of sequence"},
    {kJpegBlockPosition, false, "block outside the picture, or MCU rows too long"},
    {kJpegSpectralBand, false, "progressive scan with an invalid band"},
    {kJpegApproximation, false, "progressive refinement out of order"},
    {kJpegReadError, false, "input cannot be read"},
    {kJpegOutOfMemory, false, "memory cannot be had"},
};

const ErrorRow* Find(int32_t code) {
  for (const ErrorRow& row : kErrors)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

const char* DescribeError(int32_t code) {
  const ErrorRow* row = Find(code);
  return row ? row->meaning : "unknown error";
}

bool IsRefusal(int32_t code) {
  const ErrorRow* row = Find(code);
  return row && row->refusal;
}

}  // namespace jpeg
