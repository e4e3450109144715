#pragma once
// The program's own H.264 decoder: Annex B byte streams, CAVLC, 8-bit 4:2:0,
// into planar pictures held in the decoder's frame store.  Everything a
// stream needs is allocated when the decoder is created; decoding allocates
// nothing.  One decoder per stream, used by one thread at a time.
#include <cstdint>

struct AvcDecContext;

// AvcDecFlags
constexpr uint32_t kAvcDecBumping = 1u << 0;        // output when the picture buffer is full, by POC
constexpr uint32_t kAvcDecDeinterlace = 1u << 4;    // kept for the output deinterlacer

struct AvcDecParams {
  uint32_t reserved0 = 0;
  uint32_t reserved1 = 0;
  uint32_t widthInMbs = 0;
  uint32_t heightInMbs = 0;
  uint32_t maxRefFrames = 0;
  uint32_t flags = 0;
  uint32_t reserved6 = 0;
};

// The picture a call returns; the planes stay valid until the frame-store
// entry is reused by a later picture.
struct AvcDecPicture {
  uint8_t* y = nullptr;
  uint8_t* cb = nullptr;
  uint8_t* cr = nullptr;
  int32_t width = 0;         // luma samples, 16 per macroblock
  int32_t height = 0;        // a field picture's: half its frame's
  int32_t lumaStride = 0;
  int32_t chromaStride = 0;
  int32_t cropLeft = 0;      // luma samples
  int32_t cropRight = 0;
  int32_t cropTop = 0;       // luma lines
  int32_t cropBottom = 0;
  int32_t storeIndex = 0;
  int32_t fieldHint = 0;
  int32_t incomplete = 0;    // 1: not every macroblock of the picture was decoded
  int32_t idr = 0;
  int32_t fieldPicture = 0;  // 1: a field; the planes are its frame's, both fields interleaved
  uint32_t user1 = 0;
  uint32_t user2 = 0;
  int32_t picOrderCnt = 0;
  int32_t unused19 = 0;
  const uint8_t* userData = nullptr;
};

// Results of AvcDecDecode.
constexpr int32_t kAvcDecPicture = 0;
constexpr int32_t kAvcDecNoPicture = -2;
constexpr int32_t kAvcDecBadArgument = -3;

// Null when params is null, the processor is too old, or memory is short.
AvcDecContext* AvcDecCreate(const AvcDecParams* params);
int32_t AvcDecDecode(AvcDecContext* context, const uint8_t* data, int32_t length, uint32_t user1,
                     uint32_t user2, AvcDecPicture* picture, void* reserved);
void AvcDecDestroy(AvcDecContext* context);
// Why the last AvcDecDecode call abandoned a NAL unit (the first it
// abandoned) or withheld its picture: a code of codecs/h264/error_codes.h,
// which avc::DescribeRefusal puts in words; 0 when it did neither.
uint32_t AvcDecLastRefusal(const AvcDecContext* context);

// Processor level 0 to 7: 1 MMX, 2 CMOV, 3 SSE with FXSR, 4 SSE2, 5 SSE3,
// 6 SSSE3, 7 AVX2 with the operating system saving the 256-bit registers.
// Each level includes the ones below it.
int32_t DetectCpuLevel();
constexpr int32_t kCpuLevelSse2 = 4;
constexpr int32_t kCpuLevelSsse3 = 6;
constexpr int32_t kCpuLevelAvx2 = 7;
