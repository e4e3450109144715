#include "tests/codecs/h264/avc_test_support.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "tests/support/test_support.h"
#include "tools/common/md5.h"

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
  Md5 md5;
  const int width = p.width - p.cropLeft - p.cropRight;
  const int height = p.height * (p.fieldPicture ? 2 : 1) - p.cropTop - p.cropBottom;
  for (int y = 0; y < height; ++y) md5.Update(p.y + (p.cropTop + y) * p.lumaStride + p.cropLeft, width);
  for (const uint8_t* plane : {p.cb, p.cr}) {
    for (int y = 0; y < height / 2; ++y) {
      md5.Update(plane + (p.cropTop / 2 + y) * p.chromaStride + p.cropLeft / 2, width / 2);
    }
  }
  return md5.FinishHex();
}

std::vector<std::string> DecodeFileMd5(const std::filesystem::path& file, uint32_t widthInMbs, uint32_t heightInMbs) {
  AvcDecParams params;
  params.widthInMbs = widthInMbs;
  params.heightInMbs = heightInMbs;
  params.maxRefFrames = 16;
  params.flags = kAvcDecBumping;
  std::unique_ptr<AvcDecContext, void (*)(AvcDecContext*)> decoder(AvcDecCreate(&params), AvcDecDestroy);
  std::vector<std::string> md5s;
  if (!decoder) return md5s;
  int32_t lastFieldEntry = -1;
  for (const std::vector<uint8_t>& unit : SplitAccessUnits(testing_support::ReadFile(file))) {
    AvcDecPicture picture;
    if (AvcDecDecode(decoder.get(), unit.data(), static_cast<int32_t>(unit.size()), 0, 0, &picture, nullptr) !=
        kAvcDecPicture) {
      continue;
    }
    // A second field completes the frame its first field was hashed in.
    if (picture.fieldPicture && picture.storeIndex == lastFieldEntry) md5s.pop_back();
    lastFieldEntry = picture.fieldPicture && picture.storeIndex != lastFieldEntry ? picture.storeIndex : -1;
    md5s.push_back(PictureMd5(picture));
  }
  return md5s;
}

std::optional<std::vector<std::string>> FramemdHashes(const std::string& listing) {
  std::vector<std::string> hashes;
  std::istringstream in(listing);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t comma = line.rfind(',');
    if (comma == std::string::npos) return std::nullopt;
    size_t first = line.find_first_not_of(' ', comma + 1);
    if (first == std::string::npos) return std::nullopt;
    hashes.push_back(line.substr(first));
  }
  return hashes;
}

std::optional<std::vector<std::string>> FfmpegFrameMd5(const std::filesystem::path& file) {
  const auto out = testing_support::RunOutput("ffmpeg -nostdin -loglevel error -i '" + file.string() +
                                              "' -f framemd5 -pix_fmt yuv420p - 2>/dev/null");
  if (!out) return std::nullopt;
  return FramemdHashes(*out);
}

std::optional<std::vector<CodedPicture>> FfmpegPicturesInDecodingOrder(const std::filesystem::path& file) {
  const auto md5s = FfmpegFrameMd5(file);
  const auto probe = testing_support::RunOutput("ffprobe -loglevel error -threads 1 -show_frames -show_entries "
                                                "frame=pict_type,coded_picture_number -of compact=p=0:nk=1 '" +
                                                file.string() + "'");
  if (!md5s || !probe) return std::nullopt;
  std::vector<CodedPicture> pictures(md5s->size());
  std::istringstream in(*probe);
  std::string line;
  size_t shown = 0;
  while (std::getline(in, line)) {
    char type = 0;
    size_t number = 0;
    if (line.empty() || std::sscanf(line.c_str(), "%c|%zu", &type, &number) != 2) continue;
    if (shown >= md5s->size() || number >= pictures.size() || pictures[number].type) return std::nullopt;
    pictures[number] = {type, (*md5s)[shown++]};
  }
  if (shown != md5s->size()) return std::nullopt;
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
