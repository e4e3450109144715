#include "tests/codecs/mpeg4/mp4_test_streams.h"

#include <sstream>

#include "codecs/pixels/output_formats.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/mpeg4_vop_splitter.h"

namespace fs = std::filesystem;

std::optional<Mp4TestStream> EncodeMp4TestStream(const fs::path& file, int width, int height, int frames,
                                                 const std::string& options, const std::string& filters,
                                                 const std::string& rate) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" << width << "x" << height
      << ":rate=" << rate;
  if (!filters.empty()) cmd << "," << filters;
  cmd << " -frames:v " << frames << " -threads 1 " << options << " -f m4v '" << file.string() << "'";
  if (testing_support::Run(cmd.str()) != 0) return std::nullopt;
  Mp4TestStream s;
  s.width = width;
  s.height = height;
  s.bytes = testing_support::ReadFile(file);
  s.units = SplitMp4Units(s.bytes);
  if (s.units.empty()) return std::nullopt;
  return s;
}

std::vector<std::vector<uint8_t>> SplitMp4Units(const std::vector<uint8_t>& stream) {
  std::vector<std::vector<uint8_t>> units;
  for (Mpeg4Vop& vop : SplitMpeg4Vops(stream)) units.push_back(std::move(vop.bytes));
  return units;
}

std::optional<std::vector<std::string>> FfmpegPictureMd5s(const fs::path& file, const std::string& inputOptions) {
  std::vector<std::string> md5s = testing_support::FfmpegFrameMd5s(
      file, "-threads 1 -idct xvid " + inputOptions + " -f m4v", "-fps_mode passthrough -pix_fmt yuv420p");
  if (md5s.empty()) return std::nullopt;
  return md5s;
}

size_t I420Size(int width, int height) {
  return size_t(width) * size_t(height) + 2 * size_t((width + 1) / 2) * size_t((height + 1) / 2);
}

std::vector<Mp4DecodedUnit> DecodeMp4Units(const std::vector<std::vector<uint8_t>>& units, int width, int height,
                                           const Mp4VolDefaults* defaults) {
  std::vector<Mp4DecodedUnit> decoded;
  Mp4Decoder* decoder = nullptr;
  if (Mp4Dec_Create(&decoder, uint32_t(width), uint32_t(height), 0, 0) != 0) return decoded;
  if (defaults) Mp4Dec_SetVolDefaults(decoder, defaults);
  std::vector<uint8_t> picture(I420Size(width, height));
  for (const auto& unit : units) {
    Mp4DecFrame frame;
    frame.width = uint32_t(width);
    frame.height = uint32_t(height);
    frame.data = unit.data();
    frame.length = unit.size();
    frame.output = picture.data();
    frame.format = OUTPUT_FORMAT_I420;
    frame.stride = width;
    Mp4DecodedUnit d;
    d.result = Mp4Dec_Decode(decoder, &frame, 0);
    if (d.result == 0) d.md5 = testing_support::Md5Hex(picture);
    decoded.push_back(d);
  }
  Mp4Dec_Destroy(decoder, 0);
  return decoded;
}

std::vector<std::string> PictureMd5s(const std::vector<Mp4DecodedUnit>& decoded) {
  std::vector<std::string> md5s;
  for (const auto& d : decoded)
    if (d.result == 0) md5s.push_back(d.md5);
  return md5s;
}

void PatchBits(std::vector<uint8_t>& data, size_t pos, int bits, uint32_t value) {
  for (int i = 0; i < bits; ++i) {
    const size_t p = pos + size_t(i);
    const uint8_t mask = uint8_t(0x80 >> (p & 7));
    if ((value >> (bits - 1 - i)) & 1) data[p >> 3] = uint8_t(data[p >> 3] | mask);
    else data[p >> 3] = uint8_t(data[p >> 3] & ~mask);
  }
}

std::optional<size_t> VopFieldsPosition(const std::vector<uint8_t>& unit) {
  for (size_t i = 0; i + 4 <= unit.size(); ++i)
    if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1 && unit[i + 3] == 0xB6) return (i + 4) * 8;
  return std::nullopt;
}
