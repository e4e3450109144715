// CJpegImage::DecodeToBgrx (the player's fast decoder, kernel set chosen for
// this processor) against libjpeg-turbo decoding the same bytes the same
// way (JDCT_IFAST, no fancy upsampling, BGRX out), per frame, for 4:2:0
// pictures of 704x576 and 1920x1080, baseline and progressive.  The
// pictures are encoded by libjpeg-turbo at quality 75 from a scene of
// gradients, edges and noise.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "bench/support/ratio.h"
#include "codecs/jpeg/jpeg_image.h"
#include "codecs/jpeg/jpeg_kernels.h"

namespace {

std::vector<uint8_t> Encode(int width, int height, bool progressive) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  std::mt19937 random(3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      const double wave = 50 * std::sin(x * 0.03) * std::cos(y * 0.02);
      const bool square = ((x / 40) + (y / 30)) % 4 == 0;
      pixel[0] = static_cast<uint8_t>(std::clamp(int(x * 255 / width + wave) + int(random() % 9), 0, 255));
      pixel[1] = static_cast<uint8_t>(std::clamp(int(y * 255 / height - wave) + int(random() % 9), 0, 255));
      pixel[2] = static_cast<uint8_t>(square ? 220 : 40 + random() % 9);
    }
  }
  jpeg_compress_struct compress{};
  jpeg_error_mgr errors{};
  compress.err = jpeg_std_error(&errors);
  jpeg_create_compress(&compress);
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&compress, &bytes, &size);
  compress.image_width = static_cast<JDIMENSION>(width);
  compress.image_height = static_cast<JDIMENSION>(height);
  compress.input_components = 3;
  compress.in_color_space = JCS_RGB;
  jpeg_set_defaults(&compress);
  jpeg_set_quality(&compress, 75, TRUE);
  if (progressive) jpeg_simple_progression(&compress);
  jpeg_start_compress(&compress, TRUE);
  while (compress.next_scanline < compress.image_height) {
    JSAMPROW row = &rgb[static_cast<size_t>(compress.next_scanline) * width * 3];
    jpeg_write_scanlines(&compress, &row, 1);
  }
  jpeg_finish_compress(&compress);
  jpeg_destroy_compress(&compress);
  std::vector<uint8_t> jpeg(bytes, bytes + size);
  std::free(bytes);
  return jpeg;
}

void LibjpegDecode(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& out, int width) {
  jpeg_decompress_struct decompress{};
  jpeg_error_mgr errors{};
  decompress.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&decompress);
  jpeg_mem_src(&decompress, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&decompress, TRUE);
  decompress.dct_method = JDCT_IFAST;
  decompress.do_fancy_upsampling = FALSE;
  decompress.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&decompress);
  while (decompress.output_scanline < decompress.output_height) {
    JSAMPROW row = &out[static_cast<size_t>(decompress.output_scanline) * width * 4];
    jpeg_read_scanlines(&decompress, &row, 1);
  }
  jpeg_finish_decompress(&decompress);
  jpeg_destroy_decompress(&decompress);
}

void BM_DecodeToBgrxVersusLibjpegTurbo(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const bool progressive = state.range(2) != 0;
  const std::vector<uint8_t> jpeg = Encode(width, height, progressive);
  std::vector<uint8_t> ours(static_cast<size_t>(width) * height * 4), theirs(ours.size());
  CJpegImage image(true);
  bench_support::MeasureRatio(
      state,
      [&] {
        if (image.DecodeToBgrx(jpeg.data(), static_cast<int32_t>(jpeg.size()), ours.data(),
                               static_cast<uint32_t>(ours.size()), width) != 1) {
          state.SkipWithError("DecodeToBgrx refused the picture");
        }
        benchmark::DoNotOptimize(ours.data());
      },
      [&] {
        LibjpegDecode(jpeg, theirs, width);
        benchmark::DoNotOptimize(theirs.data());
      });
  state.SetLabel(std::string(progressive ? "progressive, " : "baseline, ") + jpeg::kernels::Sets().ChosenSet().name);
}

BENCHMARK(BM_DecodeToBgrxVersusLibjpegTurbo)
    ->Args({704, 576, 0})
    ->Args({704, 576, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
