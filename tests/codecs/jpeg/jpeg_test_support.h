#pragma once
// Pictures for the JPEG decoder's tests, made at test time with cjpeg,
// jpegtran and ffmpeg, and libjpeg-turbo's decodes of them as the oracle.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jpeg_test {

// Samples, 1 (grey) or 3 (R, G, B) per pixel, top-down.
struct Picture {
  int width = 0;
  int height = 0;
  int channels = 3;
  std::vector<uint8_t> samples;
};

// A deterministic scene of gradients, edges and noise, as binary PPM.
void WriteScene(const std::filesystem::path& ppm, int width, int height);
// Binary PPM or PGM (maxval 255); an empty picture when it is not one.
Picture ReadPnm(const std::vector<uint8_t>& bytes);
Picture Transposed(const Picture& picture);

// Runs a shell command that writes `output`, and returns the file; empty
// when the command failed.
std::vector<uint8_t> Made(const std::string& command, const std::filesystem::path& output);

// CJpegImage's picture as samples: R, G, B (or the grey value of B, which
// the decoder writes into all three).
Picture DecodeWithImage(const std::vector<uint8_t>& jpeg, bool fast, int width, int height, int channels);
// The decoder's error code after decoding the whole picture (0: none).
int32_t DecodeError(const std::vector<uint8_t>& jpeg, bool fast);
// Width and height from the frame header; {0, 0} when there is none.
std::pair<int, int> FrameSize(const std::vector<uint8_t>& jpeg);

struct Difference {
  double psnr = 0;      // infinity when equal
  int maximum = 0;
  double withinOne = 0;  // share of samples within ±1
  size_t firstMismatch = SIZE_MAX;
};
Difference Compare(const Picture& a, const Picture& b);

}  // namespace jpeg_test

namespace jpeg_test {

// One component's quantised coefficients as libjpeg-turbo's
// jpeg_read_coefficients gives them: width × height blocks of 64, natural order.
struct LibjpegPlane {
  int width = 0;
  int height = 0;
  std::vector<int16_t> blocks;
};
// Empty when libjpeg refuses the picture.
std::vector<LibjpegPlane> LibjpegCoefficients(const std::vector<uint8_t>& jpeg);

}  // namespace jpeg_test
