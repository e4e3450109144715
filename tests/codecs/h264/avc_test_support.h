#pragma once
// Decoding whole H.264 files with the library, one access unit per call as
// an archive holds them, and the FFmpeg decode they are compared with.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codecs/h264/avc_decoder.h"

namespace avc_test {

// The Annex B access units of a stream, each with its start codes.
std::vector<std::vector<uint8_t>> SplitAccessUnits(const std::vector<uint8_t>& stream);

// md5 of the cropped window of a returned picture: Y, then Cb, then Cr; a
// field picture's is that of its frame.
std::string PictureMd5(const AvcDecPicture& picture);

// The md5 of each picture the library returns for the file, one access
// unit per call; created at the given size in macroblocks.  The two fields
// of a frame count once, as the frame.
std::vector<std::string> DecodeFileMd5(const std::filesystem::path& file, uint32_t widthInMbs,
                                       uint32_t heightInMbs);

// One picture of FFmpeg's decode: its type ('I', 'P' or 'B') and the md5
// of its yuv420p picture.
struct CodedPicture {
  char type = 0;
  std::string md5;
};
// FFmpeg's decode of a file in decoding order (by coded_picture_number):
// the place of each access unit's picture; nullopt when a tool fails or the
// numbers do not cover the pictures.
std::optional<std::vector<CodedPicture>> FfmpegPicturesInDecodingOrder(const std::filesystem::path& file);

// Encodes an intra-only CAVLC stream with libx264 from a synthetic source:
// `x264Params` are appended to the -x264-params list; true on success.
bool MakeIntraStream(const std::filesystem::path& out, int width, int height, int frames,
                     const std::string& x264Params, const std::string& extraArgs = "");

// Encodes a CAVLC stream with I and P pictures (no B) from a synthetic
// lavfi `source` (for example "testsrc2" or "mandelbrot"); `x264Params` are
// appended to the -x264-params list; true on success.
bool MakeInterStream(const std::filesystem::path& out, const std::string& source, int width, int height, int frames,
                     const std::string& x264Params, const std::string& extraArgs = "");

// Damages about two units in three past their start codes: bits flipped,
// bytes replaced, the unit cut short.
void DamageUnits(std::vector<std::vector<uint8_t>>& units, std::mt19937& random);

}  // namespace avc_test
