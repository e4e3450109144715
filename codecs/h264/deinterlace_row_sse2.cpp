// The deinterlacer's row kernel on eight pairs at a time, the pairs'
// decisions in 16-bit lanes and the samples in bytes.
#include <emmintrin.h>

#include "codecs/h264/deinterlace_row.h"
#include "codecs/h264/kernels_x86.h"

namespace avc {

namespace {

// Sixteen samples of a line: eight pairs, each pair one 16-bit lane.
inline __m128i Load(const uint8_t* line, int x) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x));
}

inline __m128i FirstOfPairs(__m128i v) { return _mm_and_si128(v, _mm_set1_epi16(0x00FF)); }
inline __m128i SecondOfPairs(__m128i v) { return _mm_srli_epi16(v, 8); }

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }
inline __m128i AbsDiff8(__m128i a, __m128i b) { return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// PairDetail for eight pairs.
inline __m128i PairDetail8(__m128i line, __m128i lineBelow) {
  const __m128i first = FirstOfPairs(line);
  return _mm_add_epi16(Abs16(_mm_sub_epi16(first, FirstOfPairs(lineBelow))),
                       Abs16(_mm_sub_epi16(first, SecondOfPairs(line))));
}

inline __m128i PairSum8(__m128i line) { return _mm_add_epi16(FirstOfPairs(line), SecondOfPairs(line)); }

// InterpolateSample for sixteen samples, given the kept lines and their
// samples one to the left and one to the right.
inline __m128i Interpolate16(__m128i above, __m128i below, __m128i aboveLeft, __m128i aboveRight, __m128i belowLeft,
                             __m128i belowRight) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i vertical = AbsDiff8(above, below);
  const __m128i falling = AbsDiff8(aboveRight, belowLeft);
  const __m128i rising = AbsDiff8(aboveLeft, belowRight);
  const __m128i keepVertical = _mm_cmpeq_epi8(_mm_subs_epu8(vertical, falling), zero);  // falling >= vertical
  const __m128i best = _mm_min_epu8(vertical, falling);
  const __m128i keepBest = _mm_cmpeq_epi8(_mm_subs_epu8(best, rising), zero);  // rising >= best
  const __m128i sofar = Select(keepVertical, _mm_avg_epu8(above, below), _mm_avg_epu8(aboveRight, belowLeft));
  return Select(keepBest, sofar, _mm_avg_epu8(aboveLeft, belowRight));
}

void DeinterlaceRowSse2(const DeinterlaceRowJob& job) {
  const uint8_t* const* s = job.source;
  const uint8_t* const* p = job.previous;
  const int w = job.width;
  const __m128i detailLimit = _mm_set1_epi16(kFlatDetailLimit);
  const __m128i flatThreshold = _mm_set1_epi16(kFlatMotionThreshold);
  const __m128i detailedThreshold = _mm_set1_epi16(kDetailedMotionThreshold);
  const __m128i notYetAveraging = _mm_set1_epi16(kStillPicturesForAverage - 1);
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m128i s0 = Load(s[0], x), s1 = Load(s[1], x), s2 = Load(s[2], x), s3 = Load(s[3], x);
    const __m128i p0 = Load(p[0], x), p1 = Load(p[1], x), p2 = Load(p[2], x), p3 = Load(p[3], x);

    const __m128i flat = _mm_and_si128(
        _mm_and_si128(_mm_cmplt_epi16(PairDetail8(s1, s3), detailLimit),
                      _mm_cmplt_epi16(PairDetail8(s0, s2), detailLimit)),
        _mm_and_si128(_mm_cmplt_epi16(PairDetail8(p1, p3), detailLimit),
                      _mm_cmplt_epi16(PairDetail8(p0, p2), detailLimit)));
    const __m128i threshold = Select(flat, flatThreshold, detailedThreshold);
    const __m128i replacedChange =
        Abs16(_mm_sub_epi16(_mm_add_epi16(PairSum8(s1), PairSum8(s3)), _mm_add_epi16(PairSum8(p1), PairSum8(p3))));
    const __m128i keptChange =
        Abs16(_mm_sub_epi16(_mm_add_epi16(PairSum8(s0), PairSum8(s2)), _mm_add_epi16(PairSum8(p0), PairSum8(p2))));
    const __m128i still =
        _mm_and_si128(_mm_cmplt_epi16(replacedChange, threshold), _mm_cmplt_epi16(keptChange, threshold));

    uint8_t* counterAddress = job.counters + x;
    const __m128i counters = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counterAddress));
    const __m128i ripe = _mm_cmpgt_epi16(FirstOfPairs(counters), notYetAveraging);
    const __m128i average = _mm_and_si128(still, ripe);
    const __m128i grow = _mm_andnot_si128(ripe, still);
    const __m128i grown = _mm_add_epi8(counters, _mm_set1_epi8(1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(counterAddress),
                     _mm_or_si128(_mm_and_si128(average, counters), _mm_and_si128(grow, grown)));

    // Beyond the row's ends the neighbours are shifted in as zeros: those
    // two outputs are replaced afterwards.
    const bool first = x == 0, last = x + 16 == w;
    const __m128i aboveLeft = first ? _mm_slli_si128(s0, 1) : Load(s[0], x - 1);
    const __m128i belowLeft = first ? _mm_slli_si128(s2, 1) : Load(s[2], x - 1);
    const __m128i aboveRight = last ? _mm_srli_si128(s0, 1) : Load(s[0], x + 1);
    const __m128i belowRight = last ? _mm_srli_si128(s2, 1) : Load(s[2], x + 1);
    const __m128i interpolated = Interpolate16(s0, s2, aboveLeft, aboveRight, belowLeft, belowRight);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(job.destination[1] + x),
                     Select(average, _mm_avg_epu8(s1, p1), interpolated));
  }
  for (; x < w; x += 2) DeinterlacePair(job, x);
  FinishDeinterlacedRows(job);
}

}  // namespace

void FillSse2DeinterlaceKernel(KernelSet& k) { k.deinterlace = DeinterlaceRowSse2; }

}  // namespace avc
