// vyxdecode ARCHIVE [--planes]: decodes an archive's video frames the way
// the video box does (one decoder per codec class and picture size, nothing
// before the first key frame) and prints one line per picture:
//   <record index> type=<t> w=<w> h=<h> md5=<md5>
// The md5 is of the front's RGB32 picture (the archive's size), or with
// --planes of the decoded Y, U and V planes without row padding (the
// picture's own size), which is what `ffmpeg -f framemd5 -pix_fmt yuv420p`
// computes.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/mpeg4/output_formats.h"
#include "player/decoder_opening.h"
#include "player/vdecode.h"
#include "player/vyx_parser.h"
#include "tools/common/indexed_archive.h"
#include "tools/common/md5.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vyxdecode ARCHIVE [--planes]\n");
  return 2;
}

class Decoder {
 public:
  explicit Decoder(bool planes) : planes_(planes) {
    decoder_.SetOutputFormat(32, 0);
    decoder_.SetPictureObserver([this](const H264DecPicture& picture) { Remember(picture); });
  }

  // The line for a frame that gave a picture, or an empty string.
  std::string Decode(const VyxFrame& frame) {
    const VYX_FRAME_HEADER& header = frame.index.header;
    if (frame.index.codecClass != codecClass_ || header.width != width_ || header.height != height_) {
      codecClass_ = frame.index.codecClass;
      width_ = header.width;
      height_ = header.height;
      decoder_.Close();
      destination_.assign(size_t(width_) * height_ * 4, 0);
      source_.assign(size_t(width_) * height_, 0);
      const std::optional<DecoderOpening> opening = DecoderOpeningFor(codecClass_, header.type);
      if (opening) decoder_.Open(source_.data(), destination_.data(), width_, height_, opening->kind, opening->format);
      keySeen_ = opening && opening->keySeen;
    }
    if (!keySeen_) {
      if (!IsKeyFrameType(header.type)) return {};
      keySeen_ = true;
    }
    // The payload and a terminating zero, in a buffer that fits them.
    if (frame.payload.size() + 1 > source_.size()) {
      source_.resize(frame.payload.size() + 1);
      decoder_.SetSource(source_.data());
    }
    std::memcpy(source_.data(), frame.payload.data(), frame.payload.size());
    source_[frame.payload.size()] = 0;
    if (decoder_.Decode(int32_t(frame.payload.size())) != 0) return {};

    char line[128];
    if (planes_)
      std::snprintf(line, sizeof line, "type=%u w=%d h=%d md5=%s", header.type, pictureWidth_, pictureHeight_,
                    planesMd5_.c_str());
    else
      std::snprintf(line, sizeof line, "type=%u w=%d h=%d md5=%s", header.type, width_, height_,
                    Md5::Hex(destination_.data(), destination_.size()).c_str());
    return line;
  }

 private:
  void Remember(const H264DecPicture& p) {
    pictureWidth_ = p.width;
    pictureHeight_ = p.height;
    if (!planes_) return;
    Md5 md5;
    for (int row = 0; row < p.height; ++row) md5.Update(p.y + ptrdiff_t(row) * p.yStride, size_t(p.width));
    const int chromaWidth = (p.width + 1) / 2, chromaHeight = (p.height + 1) / 2;
    for (const auto& [plane, stride] : {std::pair{p.u, p.uStride}, std::pair{p.v, p.vStride}})
      for (int row = 0; row < chromaHeight; ++row) md5.Update(plane + ptrdiff_t(row) * stride, size_t(chromaWidth));
    planesMd5_ = md5.FinishHex();
  }

  bool planes_;
  CQxVDecode decoder_;
  int32_t codecClass_ = CODEC_CLASS_NONE;
  int width_ = -1, height_ = -1;
  bool keySeen_ = false;
  std::vector<uint8_t> source_, destination_;
  int pictureWidth_ = 0, pictureHeight_ = 0;
  std::string planesMd5_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  bool planes = false;
  if (!ParseArchiveArguments(argc, argv, "--planes", path, planes)) return Usage();
  IndexedArchive archive;
  if (!archive.Open(path)) {
    std::fprintf(stderr, "vyxdecode: cannot open %s\n", path.c_str());
    return 1;
  }
  CQxVyxParser& parser = archive.Parser();

  Decoder decoder(planes);
  FrameReadout out;
  for (size_t index = 0;; ++index) {
    const int result = parser.ReadNextFrame(out);
    if (result == -1) {
      std::fprintf(stderr, "vyxdecode: out of memory at record %zu\n", index);
      return 1;
    }
    if (result != 1) break;
    // Audio records share class 0 with MPEG-4 but are no pictures.
    if (!IsVideoFrameType(out.frame->index.header.type)) continue;
    const std::string line = decoder.Decode(*out.frame);
    if (!line.empty()) std::printf("%zu %s\n", index, line.c_str());
  }
  return 0;
}
