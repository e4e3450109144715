// vyxdecode ARCHIVE [--planes] [--accurate] [--ppm DIR] [--threads N]
//           [--decoder ffmpeg|qx264] [--kernels plain|simd] [--deinterlace]:
// decodes an archive's video frames through the player's own video output (one decoder per codec class
// and picture size, nothing before the first key frame, the pictures still
// held drawn at the end), drawing into a window in memory, and prints one
// line per picture drawn:
//   <record index> type=<t> w=<w> h=<h> md5=<md5>
// The md5 is of the RGB32 picture drawn (the archive's size), or with
// --planes of the decoded Y, U and V planes without row padding (the
// picture's own size), which is what `ffmpeg -f framemd5 -pix_fmt yuv420p`
// computes; H.264 and MPEG-4 Part 2 pictures alike.  Pictures drawn at the
// end of the archive carry the index and type of its last video record.
// Each record whose decode was refused or failed, and each picture the
// decoder withheld, is told on standard error:
//   vyxdecode: record <index> type=<t> <refused|error|withheld> <code> <meaning>
// with the codec's own code (0x%08x for the own H.264 library's, decimal
// for the others); records that give no picture by design (MPEG-4 B-VOPs)
// or not yet (a decoder that holds pictures back) are not.  An archive with
// video records of which no picture is drawn ends with one more line that
// says so, and exit status 1.  --threads sets FFmpeg's H.264 threads
// (0, the default: NUMBER_OF_PROCESSORS or the processor count).
// JPEG pictures have no planes: with --planes they print the md5 of the
// RGB32 picture as well.  --accurate decodes JPEG pictures with the accurate
// decoder instead of the player's fast one.  --ppm DIR writes each picture
// drawn as DIR/<record index>.ppm (binary, R G B, the archive's size).
// --decoder=qx264 decodes H.264 records with the program's own library, as
// records of codec class 3 are; with --planes the md5 is then of each
// picture's cropped window, a field's taken from the frame that holds it
// (both fields, as FFmpeg outputs a field pair).  --kernels=plain|simd
// forces every kernel family (the pixel converters', the MPEG-4, JPEG and
// H.264 decoders') to its plain set or its best SIMD set instead of the
// processor's choice, whichever decoder runs, to compare the two.
// --deinterlace (with --decoder=qx264 only) turns on the library's output
// deinterlacer, which rebuilds the pictures of interlaced sequences.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "codecs/kernels/kernel_mask.h"
#include "platform/memory_display.h"
#include "player/archive/vyx_parser.h"
#include "player/output/video_output.h"
#include "tools/common/indexed_archive.h"
#include "tools/common/md5.h"
#include "tools/vyxdecode/decode_arguments.h"

namespace {

int Usage(const std::string& error) {
  std::fprintf(stderr,
               "vyxdecode: %s\nusage: vyxdecode ARCHIVE [--planes] [--accurate] [--ppm DIR] [--threads N] "
               "[--decoder %s] [--kernels plain|simd] [--deinterlace]\n",
               error.c_str(), H264DecoderNames("|").c_str());
  return 2;
}

std::string PlanesMd5(const DecodedPlanes& p) {
  Md5 md5;
  for (int row = 0; row < p.height; ++row) md5.Update(p.y + ptrdiff_t(row) * p.yStride, size_t(p.width));
  const int chromaWidth = (p.width + 1) / 2, chromaHeight = (p.height + 1) / 2;
  for (const auto& [plane, stride] : {std::pair{p.u, p.uStride}, std::pair{p.v, p.vStride}})
    for (int row = 0; row < chromaHeight; ++row) md5.Update(plane + ptrdiff_t(row) * stride, size_t(chromaWidth));
  return md5.FinishHex();
}

// The 32-bit B, G, R, X picture as a binary PPM.
bool WritePpm(const std::filesystem::path& path, const DrawnPicture& drawn) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << "P6\n" << drawn.width << " " << drawn.height << "\n255\n";
  std::string rgb;
  rgb.reserve(static_cast<size_t>(drawn.width) * 3);
  for (int y = 0; y < drawn.height; ++y) {
    rgb.clear();
    const uint8_t* pixel = drawn.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(drawn.width) * 4;
    for (int x = 0; x < drawn.width; ++x, pixel += 4) {
      rgb += static_cast<char>(pixel[2]);
      rgb += static_cast<char>(pixel[1]);
      rgb += static_cast<char>(pixel[0]);
    }
    file.write(rgb.data(), static_cast<std::streamsize>(rgb.size()));
  }
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto arguments = ParseDecodeArguments(argc, argv, error);
  if (!arguments) return Usage(error);
  // Before any decoder or converter chooses its kernels; nothing has yet, so
  // the mask is taken.
  if (arguments->kernels != DecodeArguments::Kernels::kProcessor)
    codecs::LimitKernelFeatures(arguments->kernels == DecodeArguments::Kernels::kPlain ? 0 : codecs::kAllCpuFeatures);
  IndexedArchive archive;
  if (!archive.Open(arguments->archive)) {
    std::fprintf(stderr, "vyxdecode: cannot open %s\n", arguments->archive.c_str());
    return 1;
  }
  CQxVyxParser& parser = archive.Parser();

  platform::ScopedDisplayBackend display(std::make_shared<platform::MemoryDisplayBackend>());
  platform::MemoryVideoWindow window;
  VideoOutput output(window, arguments->options);
  output.SetOutputFormat(32, 0);

  size_t record = 0;  // of the frame being shown
  int pictureWidth = 0, pictureHeight = 0;
  std::string planesMd5;
  output.SetPictureObserver([&](const DecodedPlanes& picture) {
    pictureWidth = picture.width;
    pictureHeight = picture.height;
    if (arguments->planes) planesMd5 = PlanesMd5(picture);
  });
  bool writeFailed = false;
  size_t drawnPictures = 0;
  output.SetDrawObserver([&](const DrawnPicture& drawn) {
    ++drawnPictures;
    const bool jpeg = CodecClassOfType(drawn.header.type) == CODEC_CLASS_JPEG;
    if (!arguments->ppmDirectory.empty() && drawn.pixels.size() >= size_t(drawn.width) * size_t(drawn.height) * 4) {
      const auto path = std::filesystem::path(arguments->ppmDirectory) / (std::to_string(record) + ".ppm");
      if (!WritePpm(path, drawn)) writeFailed = true;
    }
    if (arguments->planes && !jpeg) {
      std::printf("%zu type=%u w=%d h=%d md5=%s\n", record, drawn.header.type, pictureWidth, pictureHeight,
                  planesMd5.c_str());
    } else {
      std::printf("%zu type=%u w=%d h=%d md5=%s\n", record, drawn.header.type, drawn.width, drawn.height,
                  Md5::Hex(drawn.pixels.data(), drawn.pixels.size()).c_str());
    }
  });

  size_t videoRecords = 0, told = 0;
  output.SetOutcomeObserver([&](const VYX_FRAME_HEADER& header, const DecodeOutcome& outcome) {
    if (!outcome.IsTold()) return;
    ++told;
    std::fprintf(stderr, "vyxdecode: record %zu type=%u %s %s %s\n", record, header.type, outcome.VerdictWord(),
                 outcome.CodeText().c_str(), outcome.meaning.c_str());
  });

  FrameReadout out;
  for (size_t index = 0;; ++index) {
    const int result = parser.ReadNextFrame(out);
    if (result == -1) {
      std::fprintf(stderr, "vyxdecode: out of memory at record %zu\n", index);
      return 1;
    }
    if (result != 1) break;
    if (!IsVideoFrameType(out.frame->index.header.type)) continue;
    record = index;
    ++videoRecords;
    output.ShowVideoFrame(*out.frame);
  }
  output.DrainVideo();
  if (writeFailed) {
    std::fprintf(stderr, "vyxdecode: cannot write pictures into %s\n", arguments->ppmDirectory.c_str());
    return 1;
  }
  if (videoRecords > 0 && drawnPictures == 0) {
    std::fprintf(stderr, "vyxdecode: no picture from %zu video records (%zu refused, failed or withheld)\n",
                 videoRecords, told);
    return 1;
  }
  return 0;
}
