#pragma once
// MPEG-4 Part 2 (ISO/IEC 14496-2) video decoder: rectangular, non-scalable
// I- and P-VOPs with H.263 or MPEG quantisation, AC prediction, four-vector
// and interlaced (field) prediction, half- and quarter-sample motion.  One
// call takes one access unit (whatever stream headers precede it and one VOP)
// and writes one picture in the format the caller asks for.
//
// Every read of the compressed data is bounded by its length: callers need
// no padding after it, and no content of the data can make the decoder read
// or write outside its own pictures.  All memory is allocated at creation.
// A handle is used by one thread at a time; handles share nothing.
#include <cstddef>
#include <cstdint>

struct Mp4Decoder;

// Results of the four entry points.  A predicted picture is only decoded
// from a picture this decoder made: before the first I-VOP decodes, and
// after an I-VOP it refused or failed on (or any VOP in video packets, or a
// refused VOL), P-VOPs and not-coded VOPs give MP4DEC_NO_REFERENCE until an
// I-VOP decodes.  A P-VOP whose data fails leaves the last good picture as
// the reference.
enum : int32_t {
  MP4DEC_OK = 0,
  MP4DEC_MACROBLOCK_ERROR = 1,          // a VOP header was accepted, its data failed
  MP4DEC_ERR_SCALABILITY = 101,         // VOL with scalability
  MP4DEC_ERR_VOL_USER_DATA = 102,       // VOL followed by user data (the VOL is kept)
  MP4DEC_ERR_DATA_PARTITIONED = 103,    // VOL with data partitioning
  MP4DEC_ERR_UNSUPPORTED_VOL = 104,     // sprites, newpred, reduced resolution, OBMC, not 8-bit
  MP4DEC_ERR_COMPLEXITY = 105,          // complexity estimation header
  MP4DEC_ERR_UNSUPPORTED_VOP = 106,     // B- or S-VOP, quantiser 0, fcode 0, DC in the AC table
  MP4DEC_ERR_SHAPE = 107,               // VOL shape other than rectangular
  MP4DEC_ERR_MCBPC = 108,               // invalid MCBPC code
  MP4DEC_ERR_NO_VIDEO_OBJECT = 109,     // no video object start code (or no start code at all)
  MP4DEC_ERR_NO_VOP = 111,              // no VOP start code found
  MP4DEC_ERR_NO_VOL = 112,              // video object start code without a VOL
  MP4DEC_ERR_SIZE = 113,                // VOL size differs from the decoder's
  MP4DEC_ERR_INTRA_VLC = 114,           // invalid intra coefficient code (or after an escape)
  MP4DEC_ERR_INTER_VLC = 115,           // invalid inter coefficient code
  MP4DEC_ERR_NO_GOV = 116,
  MP4DEC_ERR_NO_SEQUENCE = 117,         // no visual object sequence where one was expected
  MP4DEC_ERR_NOT_VIDEO = 118,           // visual object type other than video
  MP4DEC_ERR_VIDEO_PACKETS = 119,       // VOP split into video packets (resync markers)
  MP4DEC_B_VOP_SKIPPED = 120,           // B-VOP: not decoded, the reference stays
  MP4DEC_NO_REFERENCE = 121,            // predicted or not-coded VOP with no decoded picture before it
  MP4DEC_ERR_ALLOCATION = -3,           // Create: allocation failed or size out of range
};

// The per-call parameters, in the order the decoder front fills them.
struct Mp4DecFrame {
  uint32_t width = 0;            // picture size, used when no usable VOL was seen
  uint32_t height = 0;
  const uint8_t* data = nullptr; // the access unit
  size_t length = 0;
  uint8_t* output = nullptr;     // picture in `format`
  int32_t format = 0;            // OUTPUT_FORMAT_* (output_formats.h); others write nothing
  int32_t stride = 0;            // output row length in pixels (unused for I420)
  uint32_t reserved[4] = {};
  uint32_t deinterlace = 0;      // non-zero: comb filter on the output's luma
};

// Stream values for layers whose VOL header never arrives (VOPs only).
struct Mp4VolDefaults {
  uint32_t interlaced = 0;
  uint32_t vopTimeIncrementResolution = 30000;
  uint32_t quantPrecision = 5;
  uint32_t verid = 1;
  uint32_t quarterSample = 0;
};

// The last picture a call returned 0 for (the reference for the next
// P-VOP), before any comb filter: planes of width x height and
// (width + 1) / 2 x (height + 1) / 2.
struct Mp4DecPicture {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  ptrdiff_t yStride = 0;
  ptrdiff_t uvStride = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Stores a new decoder for width x height (1..8191 each) through `decoder`,
// or null with -3.  The reserved words are ignored.
int32_t Mp4Dec_Create(Mp4Decoder** decoder, uint32_t width, uint32_t height, uint32_t reserved1,
                      uint32_t reserved2);
int32_t Mp4Dec_SetVolDefaults(Mp4Decoder* decoder, const Mp4VolDefaults* defaults);
// Decodes one access unit; 0 when a picture was written.
int32_t Mp4Dec_Decode(Mp4Decoder* decoder, const Mp4DecFrame* frame, uint32_t reserved);
// A null decoder is ignored.
int32_t Mp4Dec_Destroy(Mp4Decoder* decoder, uint32_t reserved);
int32_t Mp4Dec_GetPicture(const Mp4Decoder* decoder, Mp4DecPicture* picture);

// What a result of Mp4Dec_Decode means, in a few words ("" for 0).
const char* Mp4Dec_DescribeResult(int32_t result);
// True for the results that refuse what the decoder does not support, as
// against damaged data; B-VOPs and withheld VOPs are neither.
bool Mp4Dec_IsRefusal(int32_t result);
