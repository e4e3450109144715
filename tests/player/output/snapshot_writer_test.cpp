#include "player/output/snapshot_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScratchDir;

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = v >> (8 * i) & 0xFF;
}

// Colour bars over the top two thirds and reversed, darker bars below, so
// that top and bottom cannot be confused.
uint32_t BarColour(int x, int y, int width, int height) {
  static const uint32_t bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0};
  const int bar = x * 7 / width;
  if (y < height * 2 / 3) return bars[bar];
  return (bars[6 - bar] >> 1) & 0x7F7F7F;
}

// The snapshot image: 54-byte header, then rows of B, G, R, X.
std::vector<uint8_t> BmpImage(int width, int height, bool topDown = true) {
  const uint32_t pixelBytes = static_cast<uint32_t>(width) * height * 4;
  std::vector<uint8_t> b(54 + pixelBytes);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, 54 + pixelBytes);
  Put32(b, 10, 54);
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<uint32_t>(width));
  Put32(b, 22, static_cast<uint32_t>(topDown ? -height : height));
  Put16(b, 26, 1);
  Put16(b, 28, 32);
  for (int y = 0; y < height; ++y) {
    const int stored = topDown ? y : height - 1 - y;
    for (int x = 0; x < width; ++x) {
      const uint32_t rgb = BarColour(x, y, width, height);
      uint8_t* p = &b[54 + (static_cast<size_t>(stored) * width + x) * 4];
      p[0] = rgb & 0xFF;
      p[1] = rgb >> 8 & 0xFF;
      p[2] = rgb >> 16 & 0xFF;
      p[3] = 0x5A;
    }
  }
  return b;
}

struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // R, G, B, top row first
};

struct DecodeErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void DecodeFailed(j_common_ptr info) {
  std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->jump, 1);
}

bool DecodeJpeg(const std::vector<uint8_t>& file, Decoded& out) {
  jpeg_decompress_struct info{};
  DecodeErrors errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = DecodeFailed;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &out.rgb[static_cast<size_t>(info.output_scanline) * out.width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

double PsnrAgainstBars(const Decoded& d) {
  double squares = 0;
  for (int y = 0; y < d.height; ++y) {
    for (int x = 0; x < d.width; ++x) {
      const uint32_t rgb = BarColour(x, y, d.width, d.height);
      const uint8_t* p = &d.rgb[(static_cast<size_t>(y) * d.width + x) * 3];
      const int expected[3] = {static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                               static_cast<int>(rgb & 0xFF)};
      for (int c = 0; c < 3; ++c) squares += (p[c] - expected[c]) * (p[c] - expected[c]);
    }
  }
  const double mse = squares / (static_cast<double>(d.width) * d.height * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Mean of one colour channel over a row.
double RowMean(const Decoded& d, int y, int channel) {
  double sum = 0;
  for (int x = 0; x < d.width; ++x) sum += d.rgb[(static_cast<size_t>(y) * d.width + x) * 3 + channel];
  return sum / d.width;
}

Decoded SaveAndDecode(const std::vector<uint8_t>& image, const fs::path& path) {
  EXPECT_EQ(SaveBitmapAsJpeg(image, path.wstring().c_str()), 0);
  Decoded decoded;
  EXPECT_TRUE(DecodeJpeg(testing_support::ReadFile(path), decoded));
  return decoded;
}

TEST(SnapshotWriterTest, ColourBarsComeBackAtTheirSizeTopRowFirst) {
  ScratchDir dir("snapshot");
  for (const bool topDown : {true, false}) {
    SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
    const std::vector<uint8_t> image = BmpImage(704, 480, topDown);
    const std::vector<uint8_t> before = image;
    const Decoded decoded = SaveAndDecode(image, dir / "bars.jpg");
    EXPECT_EQ(image, before) << "the caller's memory changed";
    ASSERT_EQ(decoded.width, 704);
    ASSERT_EQ(decoded.height, 480);
    EXPECT_GE(PsnrAgainstBars(decoded), 30.0);
    // The top starts with a light grey bar, the bottom with a dark blue one.
    EXPECT_NEAR(RowMean(decoded, 0, 0), RowMean(decoded, 0, 2), 40);
    EXPECT_GT(decoded.rgb[2], 0xA0);
    const size_t lastRow = static_cast<size_t>(479) * 704 * 3;
    EXPECT_LT(decoded.rgb[lastRow + 0], 0x20);
    EXPECT_GT(decoded.rgb[lastRow + 2], 0x40);
  }
}

TEST(SnapshotWriterTest, ExistingFileIsOverwritten) {
  ScratchDir dir("snapshot");
  const fs::path path = dir / "old.jpg";
  testing_support::WriteFile(path, std::vector<uint8_t>(300000, 0xEE));
  const Decoded decoded = SaveAndDecode(BmpImage(64, 48), path);
  EXPECT_EQ(decoded.width, 64);
  EXPECT_EQ(decoded.height, 48);
  EXPECT_LT(fs::file_size(path), 300000u);
}

struct BadImage {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> spoil;
};

class BadImageTest : public ::testing::TestWithParam<BadImage> {};

TEST_P(BadImageTest, IsRefusedWithoutWritingAFile) {
  ScratchDir dir("snapshot");
  std::vector<uint8_t> image = BmpImage(64, 48);
  GetParam().spoil(image);
  const fs::path path = dir / "bad.jpg";
  EXPECT_NE(SaveBitmapAsJpeg(image, path.wstring().c_str()), 0);
  EXPECT_FALSE(fs::exists(path));
}

INSTANTIATE_TEST_SUITE_P(
    Images, BadImageTest,
    ::testing::Values(
        BadImage{"Empty", [](auto& b) { b.clear(); }},
        BadImage{"HeaderOnly", [](auto& b) { b.resize(54); }},
        BadImage{"NotBm", [](auto& b) { b[1] = 'A'; }},
        BadImage{"TwentyFourBits", [](auto& b) { Put16(b, 28, 24); }},
        BadImage{"TwoPlanes", [](auto& b) { Put16(b, 26, 2); }},
        BadImage{"Compressed", [](auto& b) { Put32(b, 30, 3); }},
        BadImage{"SmallInfoHeader", [](auto& b) { Put32(b, 14, 12); }},
        BadImage{"HugeInfoHeader", [](auto& b) { Put32(b, 14, 0xFFFFFFF0u); }},
        BadImage{"DataInsideHeader", [](auto& b) { Put32(b, 10, 20); }},
        BadImage{"DataBeyondBlock", [](auto& b) { Put32(b, 10, 0xFFFFFF00u); }},
        BadImage{"LastPixelMissing", [](auto& b) { b.pop_back(); }},
        BadImage{"DataShifted", [](auto& b) { Put32(b, 10, 58); }},
        BadImage{"ZeroWidth", [](auto& b) { Put32(b, 18, 0); }},
        BadImage{"NegativeWidth", [](auto& b) { Put32(b, 18, static_cast<uint32_t>(-64)); }},
        BadImage{"ZeroHeight", [](auto& b) { Put32(b, 22, 0); }},
        BadImage{"MostNegativeHeight", [](auto& b) { Put32(b, 22, 0x80000000u); }},
        BadImage{"HeightClaimsMoreRows", [](auto& b) { Put32(b, 22, static_cast<uint32_t>(-49)); }},
        BadImage{"WiderThanJpeg", [](auto& b) { Put32(b, 18, 70000); Put32(b, 22, static_cast<uint32_t>(-1)); }}),
    [](const ::testing::TestParamInfo<BadImage>& info) { return std::string(info.param.name); });

// Every cut of a valid image is refused; AddressSanitizer sees that no
// read leaves the block.
TEST(SnapshotWriterTest, TruncatedImagesAreRefused) {
  ScratchDir dir("snapshot");
  const std::vector<uint8_t> image = BmpImage(8, 4);
  const fs::path path = dir / "cut.jpg";
  for (size_t size = 0; size < image.size(); ++size) {
    const std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(size));
    ASSERT_NE(SaveBitmapAsJpeg(cut, path.wstring().c_str()), 0) << size;
    ASSERT_FALSE(fs::exists(path)) << size;
  }
}

TEST(SnapshotWriterTest, UnwritablePathFailsAndLeavesNoFile) {
  ScratchDir dir("snapshot");
  const std::vector<uint8_t> image = BmpImage(64, 48);
  const fs::path missingDir = dir / "missing" / "shot.jpg";
  std::error_code reason;
  EXPECT_EQ(SaveBitmapAsJpeg(image, missingDir.wstring().c_str(), &reason), SnapshotStatus::kWriteFailed);
  EXPECT_EQ(reason, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(missingDir));
  // A directory where the file should go.
  fs::create_directory(dir / "taken.jpg");
  EXPECT_EQ(SaveBitmapAsJpeg(image, (dir / "taken.jpg").wstring().c_str(), &reason), SnapshotStatus::kWriteFailed);
  EXPECT_EQ(reason, std::errc::is_a_directory);
  EXPECT_TRUE(fs::is_directory(dir / "taken.jpg"));
  // A successful save clears it.
  EXPECT_EQ(SaveBitmapAsJpeg(image, (dir / "shot.jpg").wstring().c_str(), &reason), 0);
  EXPECT_FALSE(reason);
  EXPECT_NE(SaveBitmapAsJpeg(image, L""), 0);
  EXPECT_NE(SaveBitmapAsJpeg(image, nullptr), 0);
}

TEST(SnapshotWriterTest, NonAsciiPathIsWrittenAsUtf8) {
  ScratchDir dir("snapshot");
  const std::wstring path = dir.path().wstring() + L"/caf\u00e9-\u6444\u50cf.jpg";
  ASSERT_EQ(SaveBitmapAsJpeg(BmpImage(16, 16), path.c_str()), 0);
  EXPECT_TRUE(fs::exists(dir.path() / "caf\xc3\xa9-\xe6\x91\x84\xe5\x83\x8f.jpg"));
}

TEST(GetEncoderClsidTest, FindsOnlyTheExactMimeType) {
  EncoderClsid jpeg{};
  EXPECT_EQ(GetEncoderClsid(L"image/jpeg", &jpeg), 0);
  EXPECT_NE(jpeg.value, 0u);
  EncoderClsid untouched{77};
  EXPECT_EQ(GetEncoderClsid(L"image/JPEG", &untouched), -1);
  EXPECT_EQ(GetEncoderClsid(L"image/png", &untouched), -1);
  EXPECT_EQ(GetEncoderClsid(L"", &untouched), -1);
  EXPECT_EQ(GetEncoderClsid(nullptr, &untouched), -1);
  EXPECT_EQ(untouched.value, 77u);
}

}  // namespace
