#pragma once
// MSB-first reader over a byte range.  Every read is bounded: reading past
// the end yields zeros and marks the reader as overrun, so a parser can read
// a whole header and check once at the end.
//
// In RBSP mode the emulation prevention byte (the 0x03 of 00 00 03) is
// dropped, which turns the payload of an H.264 NAL unit back into its raw
// byte sequence.
#include <cstddef>
#include <cstdint>

class BitReader {
 public:
  enum class Mode { kPlain, kRbsp };

  BitReader(const uint8_t* data, size_t size, Mode mode = Mode::kPlain);

  uint32_t ReadBits(int count);  // 0..32 bits
  bool ReadFlag() { return ReadBits(1) != 0; }
  void SkipBits(int count);
  // Exp-Golomb codes; values beyond 32 bits mark the reader as overrun.
  uint32_t ReadUe();
  int32_t ReadSe();

  bool overrun() const { return overrun_; }

 private:
  bool LoadByte();  // next RBSP byte into current_
  int ReadBit();

  const uint8_t* data_;
  size_t size_;
  Mode mode_;
  size_t next_ = 0;       // index of the next input byte
  int zeroRun_ = 0;       // consecutive zero bytes just read (RBSP mode)
  uint8_t current_ = 0;
  int bitsLeft_ = 0;      // unread bits in current_
  bool overrun_ = false;
};
