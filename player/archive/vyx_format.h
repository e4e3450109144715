#pragma once
// The ".vyx" archive: a flat sequence of records, each a 48-byte frame
// header followed by `length` payload bytes.  All fields are little-endian.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

static_assert(std::endian::native == std::endian::little,
              "the frame header is read by copying its bytes");

constexpr uint32_t VYX_FRAME_MAGIC = 0xE6804FA7u;
constexpr size_t VYX_HEADER_SIZE = 48;
constexpr size_t VYX_TITLE_OFFSET = 24;
constexpr size_t VYX_TITLE_END = 41;  // the title ends before this byte
// The longest payload a record may claim.  No recorder frame comes near it
// (a whole 8192x8192 picture at one byte a pixel fits); a longer length is a
// damaged header, and trusting it would cost memory in the size of the file.
constexpr uint32_t VYX_MAX_PAYLOAD_LENGTH = 64u * 1024 * 1024;

#pragma pack(push, 1)
struct VYX_FRAME_HEADER {
  uint32_t magic;
  uint32_t length;     // payload bytes that follow the header
  uint16_t height;     // picture size of video types
  uint16_t width;
  uint8_t reserved12;
  uint8_t channel;     // contributes bit (channel mod 32) to the channel mask
  uint8_t reserved14;
  uint8_t type;        // FRAME_TYPE_*
  uint32_t time;       // seconds since 1970-01-01 UTC
  uint32_t usec;
  char title[VYX_TITLE_END - VYX_TITLE_OFFSET];  // zero-terminated before byte 41
  uint8_t byte41;      // read only by the decode-error trace
  uint8_t frameFlag;   // decode-error trace; the AVI chunk's flag byte
  uint8_t reserved43[5];
};
#pragma pack(pop)
static_assert(sizeof(VYX_FRAME_HEADER) == VYX_HEADER_SIZE);
static_assert(offsetof(VYX_FRAME_HEADER, title) == VYX_TITLE_OFFSET);
static_assert(offsetof(VYX_FRAME_HEADER, byte41) == VYX_TITLE_END);

enum : uint8_t {
  FRAME_TYPE_MPEG4_I = 129,
  FRAME_TYPE_MPEG4_P = 130,
  FRAME_TYPE_AUDIO_131 = 131,
  FRAME_TYPE_G723_A = 132,
  FRAME_TYPE_H264_I = 133,
  FRAME_TYPE_H264_P = 134,
  FRAME_TYPE_JPEG = 136,
  FRAME_TYPE_H264B_I = 140,
  FRAME_TYPE_H264B_P = 141,
  FRAME_TYPE_ADPCM = 145,
  FRAME_TYPE_G723 = 146,
  FRAME_TYPE_VOICE = 147,
};

enum : int32_t {
  CODEC_CLASS_NONE = -1,
  CODEC_CLASS_MPEG4 = 0,  // also the audio types but 131
  CODEC_CLASS_H264 = 1,
  CODEC_CLASS_JPEG = 2,
  CODEC_CLASS_QX264 = 3,  // no frame type maps here
};

// What the player does with a frame of each type.
enum class FramePlayback : uint8_t {
  kNone,     // not a type the player knows: passed by
  kPicture,  // decoded by the video output and drawn
  kVoice,    // mu-law voice units
  kAdpcm,    // IMA ADPCM blocks
  kG723,     // G.723 24 kbit/s
  kSilent,   // audio that no decoder takes
};

// One row per frame type: every switch over types reads this table.
struct FrameTypeInfo {
  bool video;
  bool audio;
  int32_t codecClass;
  bool key;  // the set every key-frame search and the key-frame gate use
  FramePlayback playback;
};

const FrameTypeInfo& FrameTypeOf(uint8_t type);

inline int32_t CodecClassOfType(uint8_t type) { return FrameTypeOf(type).codecClass; }
inline bool IsKeyFrameType(uint8_t type) { return FrameTypeOf(type).key; }
// Video types: their times make the archive's last video time.
inline bool IsVideoFrameType(uint8_t type) { return FrameTypeOf(type).video; }
inline bool IsAudioFrameType(uint8_t type) { return FrameTypeOf(type).audio; }

// The header's title as text: at most the bytes before byte 41, up to the
// first zero.
std::string TitleOf(const VYX_FRAME_HEADER& header);

// One per frame.  In the reader's index `offset` is the payload's file
// offset (64 bits: archives grow beyond 4 GiB).
struct LOCAL_FRAME_INDEX {
  VYX_FRAME_HEADER header;
  int32_t codecClass;
  uint64_t offset;
};

inline VYX_FRAME_HEADER ParseFrameHeader(const uint8_t* bytes) {
  VYX_FRAME_HEADER header;
  std::memcpy(&header, bytes, sizeof header);
  return header;
}
