#pragma once
// The byte layouts of the fuzz targets' inputs, shared by the targets that
// read them and by the seed maker that writes them.  Numbers are
// little-endian; a reader past the end gives zeros, so every input means
// something.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  size_t Left() const { return at_ < size_ ? size_ - at_ : 0; }
  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  uint32_t U32() { return static_cast<uint32_t>(U16() | uint32_t{U16()} << 16); }
  // Up to `count` bytes (fewer at the end of the input).
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = count < Left() ? count : Left();
    std::vector<uint8_t> bytes(data_ + at_, data_ + at_ + n);
    at_ += n;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class InputWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Bytes(const std::vector<uint8_t>& v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
  const std::vector<uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// The voice library target: a sequence of commands, each an operation byte
// (taken modulo kVoiceOperations) and its arguments.
enum VoiceOperation : uint8_t {
  kVoiceEncReset,    // u16 code
  kVoiceDecReset,    // u16 code
  kVoiceTransReset,  // u16 code (as int16)
  kVoiceEncode,      // u16 count (as int16), then count samples (u16 each)
  kVoiceDecode,      // u16 n, then n frame bytes
  kVoiceTransCode,   // u16 n, then n frame bytes (n <= the frame capacity)
  kVoiceVersion,     // no arguments
  kVoiceOperations
};

// The decoder front target: u8 depth choice (kDepths), u8 overlay, u8 kind
// (1 + value % 4), u16 width and u16 height (each 1 + value % kMaxSide),
// then payloads, each a u32 length and that many bytes.
constexpr int32_t kDepths[] = {32, 24, 16, 8};
constexpr uint16_t kMaxSide = 1024;

// The MPEG-4 decoder target: u16 width and u16 height of the decoder (each
// 1 + value % kMp4MaxSide), u8 stream choices (kMp4*), then the elementary
// stream, cut in front of each VOP start code into access units.
constexpr uint16_t kMp4MaxSide = 400;
enum : uint8_t {
  kMp4Interlaced = 1,        // stream defaults for layers without a VOL
  kMp4QuarterSample = 2,
  kMp4Verid2 = 4,
  kMp4Resolution25 = 8,      // time increment resolution 25, else 30000
  kMp4CombFilter = 16,       // on the output
};

// The G.723 target: pieces, each u16 byte count, u16 room in samples (the
// exact room unless bit 15 is set), then the bytes.

// The audio frames target: records, each a u8 type choice (kAudioTypes),
// the u32 length of its header, a u16 payload size and the payload, then a
// u8 whose low bit drains one buffer.
constexpr uint8_t kAudioTypes[] = {147, 145, 132, 146, 131};

}  // namespace fuzz
