#pragma once
// The decoder's result codes and the exception that carries one from deep
// inside a decode back to the entry point that started it.
#include <cstdint>

namespace jpeg {

enum JpegError : int32_t {
  kJpegOk = 0,
  kJpegHuffmanCodeSpace = -200,    // more than 255 codes, or lengths that overfill the code space
  kJpegHuffmanSlot = -201,
  kJpegHuffmanLength = -202,
  kJpegQuantLength = -203,
  kJpegQuantSlot = -204,
  kJpegPrecision = -205,
  kJpegHeight = -206,
  kJpegWidth = -207,
  kJpegComponentLimit = -208,
  kJpegFrameLength = -209,
  kJpegSegmentLength = -210,
  kJpegRestartLength = -211,
  kJpegScanHeader = -212,          // bad length or count, or components not distinct / not in frame order
  kJpegScanComponent = -213,
  kJpegNonInterleavedScan = -214,  // a sequential picture whose scan does not carry every component
  kJpegArithmetic = -215,
  kJpegUnexpectedMarker = -216,
  kJpegNoStartOfImage = -217,
  kJpegFrameType = -218,
  kJpegQuantShort = -219,
  kJpegMissingQuantTable = -222,
  kJpegMissingHuffmanTable = -223,
  kJpegComponentCount = -225,
  kJpegSampling = -226,
  kJpegBlockOverrun = -227,
  kJpegRestart = -228,
  kJpegBlockPosition = -229,
  kJpegSpectralBand = -230,
  kJpegApproximation = -231,
  kJpegReadError = -232,
  kJpegOutOfMemory = -233,
};

// What a code means, in a few words ("" for 0).
const char* DescribeError(int32_t code);
// True for the codes that refuse what the decoder does not support (a coding,
// a layout, a size), as against damaged data.
bool IsRefusal(int32_t code);

// Thrown by the decoder's inner steps; caught at CJpegDecoder's entry points.
struct JpegFailure {
  int32_t code;
};

[[noreturn]] inline void Fail(int32_t code) { throw JpegFailure{code}; }

}  // namespace jpeg
