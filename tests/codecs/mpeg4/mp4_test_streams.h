#pragma once
// Streams for the decoder tests: encoded by FFmpeg at test time, split into
// access units (one VOP and the headers before it), decoded by our library
// and by FFmpeg.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "codecs/mpeg4/mp4_decoder.h"

struct Mp4TestStream {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;                // the elementary stream
  std::vector<std::vector<uint8_t>> units;   // one VOP each
};

// Encodes `frames` pictures of the test source at width x height with the
// given ffmpeg output options (codec included) into `file` (.m4v) and
// splits it.  `filters` is appended to the source's filter chain.  nullopt
// when ffmpeg fails.
std::optional<Mp4TestStream> EncodeMp4TestStream(const std::filesystem::path& file, int width, int height,
                                                 int frames, const std::string& options,
                                                 const std::string& filters = "", const std::string& rate = "25");

// Splits an elementary stream into access units.
std::vector<std::vector<uint8_t>> SplitMp4Units(const std::vector<uint8_t>& stream);

// MD5 of each picture FFmpeg decodes from `file` (yuv420p, x86-64 xvid
// IDCT, one thread), in output order; `inputOptions` go before -i.
std::optional<std::vector<std::string>> FfmpegPictureMd5s(const std::filesystem::path& file,
                                                          const std::string& inputOptions = "");

struct Mp4DecodedUnit {
  int32_t result = 0;
  std::string md5;  // of the I420 picture, when result is 0
};

// Decodes each unit with one decoder of width x height, I420 output.
std::vector<Mp4DecodedUnit> DecodeMp4Units(const std::vector<std::vector<uint8_t>>& units, int width, int height,
                                           const Mp4VolDefaults* defaults = nullptr);

// The MD5s of the units that gave a picture.
std::vector<std::string> PictureMd5s(const std::vector<Mp4DecodedUnit>& decoded);

size_t I420Size(int width, int height);

// Most-significant-bit-first writer for hand-made headers.
class Mp4BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }
  void PutBit(uint32_t bit) {
    if (used_ == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = uint8_t(bytes_.back() | (0x80 >> used_));
    used_ = (used_ + 1) & 7;
  }
  // The standard's stuffing: a 0, then 1s up to the byte boundary.
  void Stuff() {
    PutBit(0);
    while (used_ != 0) PutBit(1);
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

// Overwrites `bits` bits of `data` at bit position `pos` with `value`.
void PatchBits(std::vector<uint8_t>& data, size_t pos, int bits, uint32_t value);
// Bit position of the first field after the VOP start code in `unit`;
// nullopt without one.
std::optional<size_t> VopFieldsPosition(const std::vector<uint8_t>& unit);
