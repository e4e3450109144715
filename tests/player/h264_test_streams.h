#pragma once
// H.264 streams made at test time with ffmpeg's libx264 from its synthetic
// source, one file per access unit, with ffmpeg's own per-frame md5s of the
// decoded yuv420p pictures as the reference.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "player/decode/decoded_planes.h"
#include "player/decode/h264_dec.h"
#include "tests/support/test_support.h"

namespace h264_test {

struct Stream {
  std::vector<std::vector<uint8_t>> accessUnits;
  std::filesystem::path file;  // the access units in one Annex B file
};

// `encoder` holds the ffmpeg options after the input (codec, profile,
// x264-params, pixel format ...).  nullopt when ffmpeg fails.
std::optional<Stream> Encode(const testing_support::ScratchDir& dir, const std::string& name,
                             const std::string& size, int frames, const std::string& encoder);

// The md5 of the picture's planes, as framemd5 hashes yuv420p.
std::string PlaneMd5(const DecodedPlanes& picture);
std::string PlaneMd5(const H264DecPicture& picture);

// The planes copied without padding: Y, then U, then V.
struct Planes {
  int width = 0, height = 0;
  std::vector<uint8_t> y, u, v;
  int chromaWidth() const { return (width + 1) / 2; }
};
Planes CopyPlanes(const DecodedPlanes& picture);

}  // namespace h264_test
