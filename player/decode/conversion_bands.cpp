#include "player/decode/conversion_bands.h"

#include <algorithm>
#include <system_error>

#include "codecs/pixels/yuv_converters.h"

const PackedConverter kToRgb24{YuvToRgb24, 3};
const PackedConverter kToRgb32{YuvToRgb32, 4};
const PackedConverter kToRgb565{YuvToRgb565, 2};
const PackedConverter kToYuy2{YuvToYuy2, 1};

namespace {
// A kind converts every picture into the same destination, and up to about
// 1440p (a 15 MB RGB32 destination) the caches keep it between pictures: one
// core's stores then land in the cache, and workers only add their hand-over
// and the cores' contention to the decoder's next picture (at 1080p, 1.10x
// the decoder's time on one thread against 1.14x on two and 1.16x on four).
// Larger destinations go to memory, and there several cores' stores get
// there sooner (at 2160p, 1.18x on one thread, 1.09x on four).  Memory takes
// no more than a few cores' stores at once.
constexpr int64_t kLargestCachedPicture = int64_t{1} << 22;
constexpr int64_t kPixelsPerThread = int64_t{1} << 21;
constexpr int kMostThreads = 4;
constexpr int kBandsPerThread = 8;
}  // namespace

int ConversionThreadsFor(int32_t width, int32_t height, unsigned processors) {
  const int64_t pixels = int64_t{std::max(width, 0)} * std::max(height, 0);
  const int64_t most = std::min<int64_t>(kMostThreads, std::max(processors, 1u));
  if (pixels <= kLargestCachedPicture) return 1;
  return static_cast<int>(std::clamp<int64_t>((pixels + kPixelsPerThread - 1) / kPixelsPerThread, 1, most));
}

ConversionBands::~ConversionBands() { Stop(); }

void ConversionBands::Start(int threads) {
  Stop();
  threads_ = std::max(threads, 1);
  // A worker the system refuses leaves its bands to the others and the
  // converting thread.
  try {
    for (int i = 1; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
  }
}

void ConversionBands::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  bandsWaiting_.notify_all();
  for (auto& worker : workers_) worker.join();
  workers_.clear();
  std::lock_guard lock(mutex_);
  stopping_ = false;
}

void ConversionBands::Convert(const PackedConverter& converter, const uint8_t* y, int yStride, const uint8_t* u,
                              const uint8_t* v, int uvStride, uint8_t* dst, int width, int height, int dstStride) {
  const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
  const int bands = static_cast<int>(std::min<int64_t>(int64_t{threads_} * kBandsPerThread, (rows + 1) / 2));
  if (threads_ == 1 || bands <= 1 || !y || !u || !v || !dst || width <= 0) {
    converter.convert(y, yStride, u, v, uvStride, dst, width, height, dstStride);
    return;
  }
  const Picture picture{&converter, y, u, v, yStride, uvStride, dst, width, height, dstStride, bands};
  std::unique_lock lock(mutex_);
  picture_ = picture;
  nextBand_ = 0;
  doneBands_ = 0;
  lock.unlock();
  bandsWaiting_.notify_all();
  lock.lock();
  for (int band = TakeBand(); band >= 0; band = TakeBand()) {
    lock.unlock();
    ConvertBand(picture, band);
    lock.lock();
    ++doneBands_;
  }
  bandsDone_.wait(lock, [&] { return doneBands_ == bands; });
}

int ConversionBands::TakeBand() { return nextBand_ < picture_.bands ? nextBand_++ : -1; }

void ConversionBands::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    bandsWaiting_.wait(lock, [&] { return stopping_ || nextBand_ < picture_.bands; });
    if (stopping_) return;
    const int band = TakeBand();
    const Picture picture = picture_;
    lock.unlock();
    ConvertBand(picture, band);
    lock.lock();
    if (++doneBands_ == picture.bands) bandsDone_.notify_one();
  }
}

// Band b holds row pairs [b * pairs / bands, (b + 1) * pairs / bands); a
// bottom-up picture's band lands as far from the destination's end as its
// rows are from the source's start.
void ConversionBands::ConvertBand(const Picture& p, int band) {
  const int64_t rows = p.height < 0 ? -int64_t{p.height} : int64_t{p.height};
  const int64_t pairs = (rows + 1) / 2;
  const int64_t firstPair = band * pairs / p.bands;
  const int64_t first = 2 * firstPair;
  const int64_t end = std::min(2 * ((band + 1) * pairs / p.bands), rows);
  if (first >= end) return;
  const int count = static_cast<int>(end - first);
  const std::ptrdiff_t rowBytes = std::ptrdiff_t{p.dstStride} * p.converter->strideUnitBytes;
  const int64_t dstRow = p.height > 0 ? first : rows - end;
  p.converter->convert(p.y + first * p.yStride, p.yStride, p.u + firstPair * p.uvStride,
                       p.v + firstPair * p.uvStride, p.uvStride, p.dst + dstRow * rowBytes, p.width,
                       p.height > 0 ? count : -count, p.dstStride);
}
