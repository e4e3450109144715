#include "tests/app/app_test_archives.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "tests/support/archive_records.h"
#include "tools/vyxmux/annexb_splitter.h"

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
  std::vector<testing_support::ArchiveRecord> records;
  for (size_t i = 0; i < units.size(); ++i)
    records.push_back(testing_support::H264Record(units[i], kStart, i, "Camera One"));
  const std::string path = dir / (name + ".vyx");
  if (!testing_support::WriteArchive(path, records)) return std::nullopt;
  return path;
}

std::vector<uint8_t> JpegPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(QColor(90, 120, 150));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPG");
  return std::vector<uint8_t>(jpeg.begin(), jpeg.end());
}

std::string JpegArchive(const testing_support::ScratchDir& dir, const std::string& name, int width,
                        int height, const std::vector<uint32_t>& seconds) {
  std::vector<testing_support::ArchiveRecord> records;
  for (uint32_t second : seconds) {
    records.push_back({testing_support::HeaderAt(FRAME_TYPE_JPEG, kStart + second, 0), JpegPicture(width, height)});
    records.back().header.width = static_cast<uint16_t>(width);
    records.back().header.height = static_cast<uint16_t>(height);
  }
  const std::string path = dir / (name + ".vyx");
  EXPECT_TRUE(testing_support::WriteArchive(path, records));
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
