#include "tests/codecs/h264/avc_test_support.h"

#include <cstdio>
#include <sstream>

#include "tests/codecs/h264/avc_test_decoder.h"
#include "tests/support/frame_md5s.h"
#include "tests/support/plane_md5.h"
#include "tests/support/test_support.h"

namespace avc_test {

namespace {

struct NalPosition {
  size_t start;    // first byte of the start code
  size_t payload;  // first byte after it
};

std::vector<NalPosition> FindNalUnits(const std::vector<uint8_t>& s) {
  std::vector<NalPosition> units;
  for (size_t i = 0; i + 3 <= s.size(); ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
      const size_t start = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
      units.push_back({start, i + 3});
      i += 2;
    }
  }
  return units;
}

}  // namespace

std::vector<std::vector<uint8_t>> SplitAccessUnits(const std::vector<uint8_t>& s) {
  std::vector<std::vector<uint8_t>> units;
  const std::vector<NalPosition> nals = FindNalUnits(s);
  size_t auStart = nals.empty() ? 0 : nals[0].start;
  bool sawSlice = false;
  for (size_t n = 0; n < nals.size(); ++n) {
    const size_t p = nals[n].payload;
    if (p >= s.size()) break;
    const int type = s[p] & 31;
    const bool slice = type == 1 || type == 5;
    // A slice whose first_mb_in_slice is 0 (its first bit is 1) or a
    // parameter set, SEI or delimiter after a slice starts the next unit.
    const bool firstSlice = slice && p + 1 < s.size() && (s[p + 1] & 0x80);
    const bool startsUnit = sawSlice && (firstSlice || (type >= 6 && type <= 9));
    if (startsUnit) {
      units.emplace_back(s.begin() + static_cast<std::ptrdiff_t>(auStart),
                         s.begin() + static_cast<std::ptrdiff_t>(nals[n].start));
      auStart = nals[n].start;
      sawSlice = false;
    }
    sawSlice = sawSlice || slice;
  }
  if (auStart < s.size()) units.emplace_back(s.begin() + static_cast<std::ptrdiff_t>(auStart), s.end());
  return units;
}

std::string PictureMd5(const AvcDecPicture& p) {
  const int lumaAt = p.cropTop * p.lumaStride + p.cropLeft, chromaAt = p.cropTop / 2 * p.chromaStride + p.cropLeft / 2;
  return testing_support::PlaneMd5({p.y + lumaAt, p.cb + chromaAt, p.cr + chromaAt, p.lumaStride, p.chromaStride,
                                    p.chromaStride, p.width - p.cropLeft - p.cropRight,
                                    p.height * (p.fieldPicture ? 2 : 1) - p.cropTop - p.cropBottom});
}

std::vector<std::string> DecodeFileMd5(const std::filesystem::path& file, uint32_t widthInMbs, uint32_t heightInMbs) {
  const Decoder decoder = CreateDecoder(widthInMbs, heightInMbs);
  std::vector<std::string> md5s;
  if (!decoder) return md5s;
  int32_t lastFieldEntry = -1;
  for (const std::vector<uint8_t>& unit : SplitAccessUnits(testing_support::ReadFile(file))) {
    AvcDecPicture picture;
    if (DecodeUnit(decoder.get(), unit, picture) != kAvcDecPicture) continue;
    // A second field completes the frame its first field was hashed in.
    if (picture.fieldPicture && picture.storeIndex == lastFieldEntry) md5s.pop_back();
    lastFieldEntry = picture.fieldPicture && picture.storeIndex != lastFieldEntry ? picture.storeIndex : -1;
    md5s.push_back(PictureMd5(picture));
  }
  return md5s;
}

std::optional<std::vector<CodedPicture>> FfmpegPicturesInDecodingOrder(const std::filesystem::path& file) {
  const std::vector<std::string> md5s = testing_support::FfmpegFrameMd5s(file);
  const auto probe = testing_support::RunOutput("ffprobe -loglevel error -threads 1 -show_frames -show_entries "
                                                "frame=pict_type,coded_picture_number -of compact=p=0:nk=1 '" +
                                                file.string() + "'");
  if (md5s.empty() || !probe) return std::nullopt;
  std::vector<CodedPicture> pictures(md5s.size());
  std::istringstream in(*probe);
  std::string line;
  size_t shown = 0;
  while (std::getline(in, line)) {
    char type = 0;
    size_t number = 0;
    if (line.empty() || std::sscanf(line.c_str(), "%c|%zu", &type, &number) != 2) continue;
    if (shown >= md5s.size() || number >= pictures.size() || pictures[number].type) return std::nullopt;
    pictures[number] = {type, md5s[shown++]};
  }
  if (shown != md5s.size()) return std::nullopt;
  return pictures;
}

bool MakeIntraStream(const std::filesystem::path& out, int width, int height, int frames,
                     const std::string& x264Params, const std::string& extraArgs) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" << width << "x" << height
      << ":rate=25 -frames:v " << frames << " -pix_fmt yuv420p -c:v libx264 " << (extraArgs.empty() ? "-profile:v baseline" : extraArgs)
      << " -x264-params 'keyint=1:cabac=0:8x8dct=0" << (x264Params.empty() ? "" : ":" + x264Params)
      << "' -f h264 '" << out.string() << "'";
  return testing_support::Run(cmd.str()) == 0;
}

bool MakeInterStream(const std::filesystem::path& out, const std::string& source, int width, int height, int frames,
                     const std::string& x264Params, const std::string& extraArgs) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -loglevel error -y -f lavfi -i " << source << "=size=" << width << "x" << height
      << ":rate=25 -frames:v " << frames << " -pix_fmt yuv420p -c:v libx264 -bf 0 "
      << (extraArgs.empty() ? "-profile:v baseline" : extraArgs) << " -x264-params 'cabac=0:8x8dct=0:bframes=0"
      << (x264Params.empty() ? "" : ":" + x264Params) << "' -f h264 '" << out.string() << "'";
  return testing_support::Run(cmd.str()) == 0;
}

void DamageUnits(std::vector<std::vector<uint8_t>>& units, std::mt19937& random) {
  for (auto& bytes : units) {
    if (random() % 3 == 0 || bytes.size() < 8) continue;
    const int flips = 1 + static_cast<int>(random() % 6);
    for (int f = 0; f < flips; ++f) {
      const size_t at = 4 + random() % (bytes.size() - 4);
      switch (random() % 3) {
        case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        case 1: bytes[at] = static_cast<uint8_t>(random()); break;
        default: bytes.resize(at + 1); break;
      }
    }
  }
}

}  // namespace avc_test
