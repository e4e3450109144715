#pragma once
// A decoded picture's conversion to a packed format (the converters of
// codecs/pixels/yuv_converters.h) split into bands of whole row pairs that
// the calling thread and a few workers of the owner take one at a time until
// none is left.
//
// Why: a picture beyond about 1440p has a destination too big for the caches
// to keep between pictures, so one core converts it at the speed its own
// stores reach memory; several cores' stores get there sooner.  Smaller
// destinations stay in the caches, where one core is faster
// (ConversionThreadsFor).
// Every band starts on an even source row, so each pair of rows meets the
// chroma row it shares, and the bands' bytes are the whole picture's.  There
// are several bands per thread: on a busy machine a worker that loses its
// processor holds up the picture by one short band, and the others take the
// rest.
//
// The workers start with the owner's Start (a kind's Open) and are joined by
// the next Start or the destruction; nothing is created per picture.  One
// thread converts at a time; the workers only take bands of the picture
// being converted and are done with it when Convert returns.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// One converter of yuv_converters.h and the bytes of one unit of its
// destination stride.
struct PackedConverter {
  void (*convert)(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int uvStride, uint8_t* dst,
                  int width, int height, int dstStride);
  int strideUnitBytes;
};
extern const PackedConverter kToRgb24, kToRgb32, kToRgb565, kToYuy2;

// Threads, the converting one included, for pictures of width x height on a
// machine of `processors`: one, and so no worker, for pictures too small to
// gain from more, or on one processor.
int ConversionThreadsFor(int32_t width, int32_t height, unsigned processors);

class ConversionBands {
 public:
  ConversionBands() = default;
  ~ConversionBands();
  ConversionBands(const ConversionBands&) = delete;
  ConversionBands& operator=(const ConversionBands&) = delete;

  // Converts each later picture on `threads` threads (at least one): the
  // converting one and threads - 1 workers.
  void Start(int threads);
  // As `converter` with these arguments (negative height: bottom-up).
  void Convert(const PackedConverter& converter, const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v,
               int uvStride, uint8_t* dst, int width, int height, int dstStride);

 private:
  struct Picture {
    const PackedConverter* converter = nullptr;
    const uint8_t* y = nullptr;
    const uint8_t* u = nullptr;
    const uint8_t* v = nullptr;
    int yStride = 0, uvStride = 0;
    uint8_t* dst = nullptr;
    int width = 0, height = 0, dstStride = 0;
    int bands = 0;
  };
  static void ConvertBand(const Picture& picture, int band);
  void Stop();
  void Work();
  // Under the lock: the next band of the picture, or -1 when all are taken.
  int TakeBand();

  int threads_ = 1;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable bandsWaiting_;
  std::condition_variable bandsDone_;
  Picture picture_;
  int nextBand_ = 0;  // of picture_; picture_.bands when none is left
  int doneBands_ = 0;  // of picture_
  bool stopping_ = false;
};
