#include "tests/codecs/jpeg/jpeg_test_support.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include "codecs/jpeg/jpeg_decoder.h"
#include "codecs/jpeg/jpeg_image.h"
#include "tests/support/test_support.h"

namespace jpeg_test {

void WriteScene(const std::filesystem::path& ppm, int width, int height) {
  std::mt19937 random(static_cast<uint32_t>(width * 7919 + height));
  std::uniform_int_distribution<int> noise(-12, 12);
  std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<uint8_t> bytes(header.begin(), header.end());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool square = ((x / 13) + (y / 11)) % 3 == 0;
      const double wave = 60 * std::sin(x * 0.07) * std::cos(y * 0.05);
      const int base[3] = {x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1),
                           square ? 230 : 30};
      for (int c = 0; c < 3; ++c) {
        const int value = base[c] + static_cast<int>(wave) * (c == 1 ? -1 : 1) + noise(random);
        bytes.push_back(static_cast<uint8_t>(std::clamp(value, 0, 255)));
      }
    }
  }
  testing_support::WriteFile(ppm, bytes);
}

Picture ReadPnm(const std::vector<uint8_t>& bytes) {
  Picture picture;
  size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size() && std::isspace(bytes[at])) ++at;
    std::string text;
    while (at < bytes.size() && !std::isspace(bytes[at])) text += static_cast<char>(bytes[at++]);
    return text;
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return {};
  picture.channels = magic == "P6" ? 3 : 1;
  picture.width = std::stoi(token());
  picture.height = std::stoi(token());
  if (token() != "255") return {};
  ++at;
  const size_t size = static_cast<size_t>(picture.width) * picture.height * picture.channels;
  if (bytes.size() < at + size) return {};
  picture.samples.assign(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + size));
  return picture;
}

Picture Transposed(const Picture& picture) {
  Picture result = picture;
  std::swap(result.width, result.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      for (int c = 0; c < picture.channels; ++c) {
        result.samples[(static_cast<size_t>(x) * result.width + y) * picture.channels + c] =
            picture.samples[(static_cast<size_t>(y) * picture.width + x) * picture.channels + c];
      }
    }
  }
  return result;
}

std::vector<uint8_t> Made(const std::string& command, const std::filesystem::path& output) {
  std::filesystem::remove(output);
  if (testing_support::Run(command) != 0) return {};
  return testing_support::ReadFile(output);
}

Picture DecodeWithImage(const std::vector<uint8_t>& jpeg, bool fast, int width, int height, int channels) {
  std::vector<uint8_t> bgrx(static_cast<size_t>(width) * height * 4, 0);
  CJpegImage image(fast);
  image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), bgrx.data(), static_cast<uint32_t>(bgrx.size()),
                     width);
  Picture picture{width, height, channels, {}};
  for (size_t i = 0; i < bgrx.size(); i += 4) {
    if (channels == 1) {
      picture.samples.push_back(bgrx[i]);
    } else {
      picture.samples.push_back(bgrx[i + 2]);
      picture.samples.push_back(bgrx[i + 1]);
      picture.samples.push_back(bgrx[i]);
    }
  }
  return picture;
}

int32_t DecodeError(const std::vector<uint8_t>& jpeg, bool fast) {
  CJpegMemoryStream stream;
  stream.Reset(jpeg.data(), static_cast<int32_t>(jpeg.size()));
  CJpegDecoder decoder(&stream, fast);
  if (decoder.ErrorCode() != 0 || decoder.StartDecompress() != 0) return decoder.ErrorCode();
  uint8_t* row = nullptr;
  int32_t rowBytes = 0;
  while (decoder.ReadScanline(&row, &rowBytes) == 0) {
  }
  return decoder.ErrorCode();
}

std::pair<int, int> FrameSize(const std::vector<uint8_t>& jpeg) {
  CJpegMemoryStream stream;
  stream.Reset(jpeg.data(), static_cast<int32_t>(jpeg.size()));
  CJpegDecoder decoder(&stream, true);
  if (decoder.ErrorCode() != 0) return {0, 0};
  return {decoder.Width(), decoder.Height()};
}

Difference Compare(const Picture& a, const Picture& b) {
  Difference difference;
  if (a.samples.size() != b.samples.size() || a.samples.empty()) {
    difference.firstMismatch = 0;
    difference.maximum = 256;
    return difference;
  }
  double squares = 0;
  size_t within = 0;
  for (size_t i = 0; i < a.samples.size(); ++i) {
    const int delta = std::abs(int{a.samples[i]} - int{b.samples[i]});
    if (delta != 0 && difference.firstMismatch == SIZE_MAX) difference.firstMismatch = i;
    difference.maximum = std::max(difference.maximum, delta);
    squares += double(delta) * delta;
    if (delta <= 1) ++within;
  }
  const double mse = squares / static_cast<double>(a.samples.size());
  difference.psnr = mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
  difference.withinOne = static_cast<double>(within) / static_cast<double>(a.samples.size());
  return difference;
}

}  // namespace jpeg_test
