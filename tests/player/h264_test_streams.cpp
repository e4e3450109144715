#include "tests/player/h264_test_streams.h"

#include <algorithm>

#include "tests/support/plane_md5.h"

namespace h264_test {
namespace fs = std::filesystem;
using testing_support::ReadFile;

std::optional<Stream> Encode(const testing_support::ScratchDir& dir, const std::string& name,
                             const std::string& size, int frames, const std::string& encoder) {
  const fs::path pattern = dir / (name + "_%05d.h264");
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size +
                              ":rate=25 -frames:v " + std::to_string(frames) + " " + encoder +
                              " -f image2 '" + pattern.string() + "'";
  if (testing_support::Run(command) != 0) return std::nullopt;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.path().filename().string().rfind(name + "_", 0) == 0) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  Stream stream;
  stream.file = dir / (name + ".h264");
  std::vector<uint8_t> all;
  for (const auto& file : files) {
    stream.accessUnits.push_back(ReadFile(file));
    all.insert(all.end(), stream.accessUnits.back().begin(), stream.accessUnits.back().end());
  }
  testing_support::WriteFile(stream.file, all);
  if (stream.accessUnits.empty()) return std::nullopt;
  return stream;
}

std::string PlaneMd5(const H264DecPicture& p) {
  return testing_support::PlaneMd5({p.y, p.u, p.v, p.yStride, p.uStride, p.vStride, p.width, p.height});
}

std::string PlaneMd5(const DecodedPlanes& p) {
  return testing_support::PlaneMd5({p.y, p.u, p.v, p.yStride, p.uStride, p.vStride, p.width, p.height});
}

Planes CopyPlanes(const DecodedPlanes& p) {
  Planes planes;
  planes.width = p.width;
  planes.height = p.height;
  const int cw = planes.chromaWidth(), ch = (p.height + 1) / 2;
  for (int row = 0; row < p.height; ++row)
    planes.y.insert(planes.y.end(), p.y + row * p.yStride, p.y + row * p.yStride + p.width);
  for (int row = 0; row < ch; ++row) {
    planes.u.insert(planes.u.end(), p.u + row * p.uStride, p.u + row * p.uStride + cw);
    planes.v.insert(planes.v.end(), p.v + row * p.vStride, p.v + row * p.vStride + cw);
  }
  return planes;
}

}  // namespace h264_test
