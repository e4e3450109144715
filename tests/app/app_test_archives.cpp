#include "tests/app/app_test_archives.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/vyx_writer.h"

namespace app_test {

namespace {
constexpr uint32_t kStart = 1700000000;
}  // namespace

std::optional<std::string> H264Archive(const testing_support::ScratchDir& dir, const std::string& name,
                                       const std::string& source, int frames) {
  const auto stream = dir / (name + ".264");
  const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i '" + source +
                              "' -frames:v " + std::to_string(frames) +
                              " -c:v libx264 -g 25 -bf 0 -pix_fmt yuv420p -f h264 '" +
                              stream.string() + "'";
  if (testing_support::Run(command) != 0) return std::nullopt;
  const std::vector<AccessUnit> units = SplitAnnexB(testing_support::ReadFile(stream));
  if (units.empty()) return std::nullopt;
  const std::string path = dir / (name + ".vyx");
  VyxWriter writer;
  if (!writer.Open(path)) return std::nullopt;
  for (size_t i = 0; i < units.size(); ++i) {
    const uint64_t us = uint64_t(i) * 40000;
    VYX_FRAME_HEADER header = MakeFrameHeader(units[i].idr ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P,
                                              kStart + uint32_t(us / 1000000), uint32_t(us % 1000000));
    header.width = units[i].width;
    header.height = units[i].height;
    SetTitle(header, "Camera One");
    writer.Write(header, units[i].bytes);
  }
  if (!writer.Close()) return std::nullopt;
  return path;
}

std::string JpegArchive(const testing_support::ScratchDir& dir, const std::string& name, int width,
                        int height, const std::vector<uint32_t>& seconds) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(QColor(90, 120, 150));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPG");
  const std::string path = dir / (name + ".vyx");
  VyxWriter writer;
  EXPECT_TRUE(writer.Open(path));
  for (uint32_t second : seconds) {
    VYX_FRAME_HEADER header = MakeFrameHeader(FRAME_TYPE_JPEG, kStart + second, 0);
    header.width = static_cast<uint16_t>(width);
    header.height = static_cast<uint16_t>(height);
    writer.Write(header, std::vector<uint8_t>(jpeg.begin(), jpeg.end()));
  }
  EXPECT_TRUE(writer.Close());
  return path;
}

std::vector<uint32_t> EverySecond(uint32_t last) {
  std::vector<uint32_t> seconds;
  for (uint32_t s = 0; s <= last; ++s) seconds.push_back(s);
  return seconds;
}

QString ScriptedFileDialogs::Ask(QWidget*, const FileDialogRequest& request) {
  requests_.push_back(request);
  if (answers_.empty()) return {};
  QString answer = answers_.front();
  answers_.pop_front();
  return answer;
}

}  // namespace app_test
