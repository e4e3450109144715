// SSE2 edge filters.  The samples along an edge sit side by side in the
// lanes of a register, one register per line parallel to the edge (p3 to
// q3).  The decisions and the luma normal filter work on bytes, in forms
// equal to the plain arithmetic for every input; the strong filter and the
// chroma filters compute in 16-bit lanes, where the plain arithmetic fits
// without saturation.
//
// Horizontal edges (along = 1) load their lines directly.  Vertical edges
// (across = 1) load the rows that cross the edge and transpose them, which
// measured four times faster than gathering the samples one by one; both
// take any line step, so field pictures use them too.  Other pairs of steps
// gather.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "codecs/h264/kernels_x86.h"

namespace avc {

namespace {

inline __m128i Load4(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, 4);
  return _mm_cvtsi32_si128(word);
}
inline __m128i Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store8(uint8_t* p, __m128i x) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), x); }
inline void Store16(uint8_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline __m128i AbsDiff8(__m128i a, __m128i b) { return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a)); }
// All ones in the byte lanes where a <= limit (unsigned).
inline __m128i AtMost8(__m128i a, __m128i limit) {
  return _mm_cmpeq_epi8(_mm_subs_epu8(a, limit), _mm_setzero_si128());
}
// |x| < threshold for byte differences is |x| <= threshold - 1; every
// threshold above 255 lets all differences through.
inline __m128i BelowLimit8(int threshold) { return _mm_set1_epi8(static_cast<char>(std::min(threshold - 1, 255))); }

inline __m128i Widen(__m128i bytes) { return _mm_unpacklo_epi8(bytes, _mm_setzero_si128()); }
inline __m128i WidenHigh(__m128i bytes) { return _mm_unpackhi_epi8(bytes, _mm_setzero_si128()); }
inline __m128i Clamp16(__m128i x, __m128i limit) {
  return _mm_min_epi16(_mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), limit)), limit);
}
// ((q0 - p0) * 4 + (p1 - q1) + 4) >> 3, the normal filter's step before clipping.
inline __m128i Step16(__m128i p1, __m128i p0, __m128i q0, __m128i q1) {
  const __m128i sum = _mm_add_epi16(_mm_slli_epi16(_mm_sub_epi16(q0, p0), 2), _mm_sub_epi16(p1, q1));
  return _mm_srai_epi16(_mm_add_epi16(sum, _mm_set1_epi16(4)), 3);
}

// The four per-segment values of a kernel argument in 16-bit lanes 0-3,
// read one by one: the deblocking driver has just stored them one by one,
// and a processor forwards no group of small stores to one wider load.
template <class T>
inline __m128i SegmentWords(const T (&values)[4]) {
  __m128i x = _mm_cvtsi32_si128(static_cast<uint8_t>(values[0]));
  x = _mm_insert_epi16(x, static_cast<uint8_t>(values[1]), 1);
  x = _mm_insert_epi16(x, static_cast<uint8_t>(values[2]), 2);
  return _mm_insert_epi16(x, static_cast<uint8_t>(values[3]), 3);
}
// Each value over the lanes of its segment: two 16-bit lanes for chroma,
// four bytes for luma.
template <class T>
inline __m128i ChromaSegments(const T (&values)[4]) {
  const __m128i words = SegmentWords(values);
  return _mm_unpacklo_epi16(words, words);
}
template <class T>
inline __m128i LumaSegments(const T (&values)[4]) {
  const __m128i pairs = ChromaSegments(values);
  const __m128i bytes = _mm_packus_epi16(pairs, pairs);
  return _mm_unpacklo_epi8(bytes, bytes);
}
inline bool AnyStrength(const EdgeFilterArgs& a) { return (a.bS[0] | a.bS[1] | a.bS[2] | a.bS[3]) != 0; }

struct LumaLines {
  __m128i p3, p2, p1, p0, q0, q1, q2, q3;
};

// Which lanes take the normal filter (bS 1 to 3) and which the strong one.
struct LumaStrengths {
  __m128i normal, strong;
  bool anyStrong;
};

LumaStrengths ClassifyLuma(const EdgeFilterArgs& a) {
  const __m128i bS = LumaSegments(a.bS);
  const __m128i strong = _mm_cmpeq_epi8(_mm_max_epu8(bS, _mm_set1_epi8(4)), bS);
  const __m128i set = _mm_xor_si128(_mm_cmpeq_epi8(bS, _mm_setzero_si128()), _mm_set1_epi8(-1));
  return {_mm_andnot_si128(strong, set), strong, _mm_movemask_epi8(strong) != 0};
}

// The sample lines p2 to q2 of one half (8 lanes, 16-bit) of an edge.
struct LumaHalf {
  __m128i p2, p1, p0, q0, q1, q2;
};

// The normal filter's new p1, p0, q0 and q1 for all 16 lanes, on bytes.
// Its step ((q0 - p0) * 4 + (p1 - q1) + 4) >> 3 equals x - y for
//   f = 64 + ((p1 - q1) >> 2), half the rounding average of p1 and 255 - q1,
//   x = (q0 + f + 1) >> 1,
//   y = 32 + ((p0 + 1) >> 1), or 32 + (p0 >> 1) when q0 + f is even,
// all bytes, so the step's positive and negative parts are saturating
// differences and its clipping to tC a minimum.  The p1 correction
// p1 + Clip3(-tC0, tC0, (p2 + ((p0 + q0 + 1) >> 1) - 2 p1) >> 1) is
// (p2 + m) >> 1 with m = (p0 + q0 + 1) >> 1, kept within tC0 of p1.
struct NormalBytes {
  __m128i p1, p0, q0, q1;
};

NormalBytes NormalFilter(const LumaLines& l, __m128i tc0, __m128i ap, __m128i aq) {
  const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
  const __m128i g = _mm_avg_epu8(l.p1, _mm_xor_si128(l.q1, _mm_set1_epi8(-1)));
  const __m128i f = _mm_and_si128(_mm_srli_epi16(g, 1), _mm_set1_epi8(0x7F));
  const __m128i x = _mm_avg_epu8(l.q0, f);
  const __m128i even = _mm_andnot_si128(_mm_xor_si128(l.q0, f), one);
  const __m128i y = _mm_add_epi8(_mm_set1_epi8(32), _mm_sub_epi8(_mm_avg_epu8(l.p0, zero), _mm_and_si128(even, l.p0)));
  const __m128i tc = _mm_sub_epi8(_mm_sub_epi8(tc0, ap), aq);  // masks are -1 where set
  const __m128i up = _mm_min_epu8(_mm_subs_epu8(x, y), tc), down = _mm_min_epu8(_mm_subs_epu8(y, x), tc);
  const __m128i m = _mm_avg_epu8(l.p0, l.q0);
  auto outer = [&](__m128i far, __m128i near) {
    const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(far, m), _mm_and_si128(_mm_xor_si128(far, m), one));
    return _mm_min_epu8(_mm_max_epu8(mean, _mm_subs_epu8(near, tc0)), _mm_adds_epu8(near, tc0));
  };
  return {outer(l.p2, l.p1), _mm_subs_epu8(_mm_adds_epu8(l.p0, up), down), _mm_subs_epu8(_mm_adds_epu8(l.q0, down), up),
          outer(l.q2, l.q1)};
}

// Strong values of p0, p1, p2, q0, q1, q2, then the weak p0 and q0 that a
// side takes when its strong condition fails.
struct StrongHalf {
  LumaHalf strong;
  __m128i weakP0, weakQ0;
};

StrongHalf StrongFilterHalf(const LumaHalf& s, __m128i p3, __m128i q3) {
  const __m128i two = _mm_set1_epi16(2), four = _mm_set1_epi16(4);
  const __m128i pSum = _mm_add_epi16(_mm_add_epi16(s.p1, s.p0), s.q0);
  const __m128i qSum = _mm_add_epi16(_mm_add_epi16(s.p0, s.q0), s.q1);
  auto shift = [](__m128i x, int n) { return _mm_srli_epi16(x, n); };
  StrongHalf r;
  r.strong.p0 = shift(_mm_add_epi16(_mm_add_epi16(s.p2, _mm_slli_epi16(pSum, 1)), _mm_add_epi16(s.q1, four)), 3);
  r.strong.p1 = shift(_mm_add_epi16(_mm_add_epi16(s.p2, pSum), two), 2);
  r.strong.p2 = shift(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(p3, 1), _mm_mullo_epi16(s.p2, _mm_set1_epi16(3))),
                                    _mm_add_epi16(pSum, four)),
                      3);
  r.strong.q0 = shift(_mm_add_epi16(_mm_add_epi16(s.q2, _mm_slli_epi16(qSum, 1)), _mm_add_epi16(s.p1, four)), 3);
  r.strong.q1 = shift(_mm_add_epi16(_mm_add_epi16(s.q2, qSum), two), 2);
  r.strong.q2 = shift(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(q3, 1), _mm_mullo_epi16(s.q2, _mm_set1_epi16(3))),
                                    _mm_add_epi16(qSum, four)),
                      3);
  r.weakP0 = shift(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(s.p1, 1), s.p0), _mm_add_epi16(s.q1, two)), 2);
  r.weakQ0 = shift(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(s.q1, 1), s.q0), _mm_add_epi16(s.p1, two)), 2);
  return r;
}

inline __m128i Pack(__m128i low, __m128i high) { return _mm_packus_epi16(low, high); }

// Filters the 16 lanes of `l` in place (p2 to q2); false when no lane of
// the edge passes the sample tests, so that nothing needs to be stored.
bool FilterLumaLines(LumaLines& l, const EdgeFilterArgs& a, const LumaStrengths& k) {
  const __m128i alphaLimit = BelowLimit8(a.alpha), betaLimit = BelowLimit8(a.beta);
  const __m128i pass = _mm_and_si128(_mm_and_si128(AtMost8(AbsDiff8(l.p0, l.q0), alphaLimit),
                                                   AtMost8(AbsDiff8(l.p1, l.p0), betaLimit)),
                                     AtMost8(AbsDiff8(l.q1, l.q0), betaLimit));
  const __m128i normal = _mm_and_si128(pass, k.normal);
  const __m128i strong = _mm_and_si128(pass, k.strong);
  const bool anyNormal = _mm_movemask_epi8(normal) != 0, anyStrong = _mm_movemask_epi8(strong) != 0;
  if (!anyNormal && !anyStrong) return false;
  const __m128i ap = AtMost8(AbsDiff8(l.p2, l.p0), betaLimit);
  const __m128i aq = AtMost8(AbsDiff8(l.q2, l.q0), betaLimit);
  LumaLines out = l;
  if (anyNormal) {
    const NormalBytes n = NormalFilter(l, LumaSegments(a.tc0), ap, aq);
    out.p1 = Select(_mm_and_si128(normal, ap), n.p1, out.p1);
    out.p0 = Select(normal, n.p0, out.p0);
    out.q0 = Select(normal, n.q0, out.q0);
    out.q1 = Select(_mm_and_si128(normal, aq), n.q1, out.q1);
  }
  if (anyStrong) {
    const LumaHalf low{Widen(l.p2), Widen(l.p1), Widen(l.p0), Widen(l.q0), Widen(l.q1), Widen(l.q2)};
    const LumaHalf high{WidenHigh(l.p2), WidenHigh(l.p1), WidenHigh(l.p0),
                        WidenHigh(l.q0), WidenHigh(l.q1), WidenHigh(l.q2)};
    const StrongHalf s0 = StrongFilterHalf(low, Widen(l.p3), Widen(l.q3));
    const StrongHalf s1 = StrongFilterHalf(high, WidenHigh(l.p3), WidenHigh(l.q3));
    const __m128i close = AtMost8(AbsDiff8(l.p0, l.q0), BelowLimit8((a.alpha >> 2) + 2));
    const __m128i strongP = _mm_and_si128(_mm_and_si128(strong, ap), close);
    const __m128i strongQ = _mm_and_si128(_mm_and_si128(strong, aq), close);
    out.p2 = Select(strongP, Pack(s0.strong.p2, s1.strong.p2), out.p2);
    out.p1 = Select(strongP, Pack(s0.strong.p1, s1.strong.p1), out.p1);
    out.p0 = Select(strong, Select(strongP, Pack(s0.strong.p0, s1.strong.p0), Pack(s0.weakP0, s1.weakP0)), out.p0);
    out.q0 = Select(strong, Select(strongQ, Pack(s0.strong.q0, s1.strong.q0), Pack(s0.weakQ0, s1.weakQ0)), out.q0);
    out.q1 = Select(strongQ, Pack(s0.strong.q1, s1.strong.q1), out.q1);
    out.q2 = Select(strongQ, Pack(s0.strong.q2, s1.strong.q2), out.q2);
  }
  l = out;
  return true;
}

// Four samples of each of 16 rows, `along` apart from `first`, turned into
// four lines of 16 samples.
inline void QuartersToLines(const uint8_t* first, ptrdiff_t along, __m128i (&lines)[4]) {
  __m128i pairs[8], quads[4];
  for (int j = 0; j < 8; ++j) {
    pairs[j] = _mm_unpacklo_epi8(Load4(first + 2 * j * along), Load4(first + (2 * j + 1) * along));
  }
  for (int j = 0; j < 4; ++j) quads[j] = _mm_unpacklo_epi16(pairs[2 * j], pairs[2 * j + 1]);
  // quads[j]: the four samples of rows 4j to 4j + 3, sample by sample.
  const __m128i upper01 = _mm_unpacklo_epi32(quads[0], quads[1]), upper23 = _mm_unpackhi_epi32(quads[0], quads[1]);
  const __m128i lower01 = _mm_unpacklo_epi32(quads[2], quads[3]), lower23 = _mm_unpackhi_epi32(quads[2], quads[3]);
  lines[0] = _mm_unpacklo_epi64(upper01, lower01);
  lines[1] = _mm_unpackhi_epi64(upper01, lower01);
  lines[2] = _mm_unpacklo_epi64(upper23, lower23);
  lines[3] = _mm_unpackhi_epi64(upper23, lower23);
}

// The eight 16-sample lines l[0..7] back to 16 rows of 8 samples: rows 2i
// and 2i + 1 in the low and high halves of out[i].
inline void TransposeLinesToRows(const __m128i (&l)[8], __m128i (&out)[8]) {
  for (int half = 0; half < 2; ++half) {
    auto unpack = [half](__m128i x, __m128i y) { return half ? _mm_unpackhi_epi8(x, y) : _mm_unpacklo_epi8(x, y); };
    const __m128i a0 = unpack(l[0], l[1]), a1 = unpack(l[2], l[3]);
    const __m128i a2 = unpack(l[4], l[5]), a3 = unpack(l[6], l[7]);
    const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
    const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
    out[4 * half + 0] = _mm_unpacklo_epi32(b0, b2);
    out[4 * half + 1] = _mm_unpackhi_epi32(b0, b2);
    out[4 * half + 2] = _mm_unpacklo_epi32(b1, b3);
    out[4 * half + 3] = _mm_unpackhi_epi32(b1, b3);
  }
}

void LumaHorizontalEdge(const EdgeFilterArgs& a, const LumaStrengths& k) {
  uint8_t* const q = a.q0;
  const ptrdiff_t s = a.across;
  LumaLines l;
  l.p2 = Load16(q - 3 * s);
  l.p1 = Load16(q - 2 * s);
  l.p0 = Load16(q - s);
  l.q0 = Load16(q);
  l.q1 = Load16(q + s);
  l.q2 = Load16(q + 2 * s);
  l.p3 = k.anyStrong ? Load16(q - 4 * s) : l.p2;
  l.q3 = k.anyStrong ? Load16(q + 3 * s) : l.q2;
  if (!FilterLumaLines(l, a, k)) return;
  Store16(q - 3 * s, l.p2);
  Store16(q - 2 * s, l.p1);
  Store16(q - s, l.p0);
  Store16(q, l.q0);
  Store16(q + s, l.q1);
  Store16(q + 2 * s, l.q2);
}

void LumaVerticalEdge(const EdgeFilterArgs& a, const LumaStrengths& k) {
  uint8_t* const first = a.q0 - 4;
  const ptrdiff_t along = a.along;
  // The p and q halves of the rows are loaded apart: a p half lies inside
  // the 8-byte row the edge 4 samples to the left has just stored, which a
  // processor forwards to a load it contains but not to one it straddles.
  __m128i p[4], q[4];
  QuartersToLines(first, along, p);
  QuartersToLines(first + 4, along, q);
  LumaLines l{p[0], p[1], p[2], p[3], q[0], q[1], q[2], q[3]};
  if (!FilterLumaLines(l, a, k)) return;
  const __m128i lines[8] = {l.p3, l.p2, l.p1, l.p0, l.q0, l.q1, l.q2, l.q3};
  __m128i out[8];
  TransposeLinesToRows(lines, out);
  for (int i = 0; i < 8; ++i) {
    Store8(first + 2 * i * along, out[i]);
    Store8(first + (2 * i + 1) * along, _mm_unpackhi_epi64(out[i], out[i]));
  }
}

void LumaGatheredEdge(const EdgeFilterArgs& a, const LumaStrengths& k) {
  alignas(16) uint8_t samples[8][16];
  for (int n = 0; n < 16; ++n) {
    const uint8_t* q = a.q0 + n * a.along;
    for (int j = 0; j < 8; ++j) samples[j][n] = q[(j - 4) * a.across];
  }
  LumaLines l;
  __m128i* lines[8] = {&l.p3, &l.p2, &l.p1, &l.p0, &l.q0, &l.q1, &l.q2, &l.q3};
  for (int j = 0; j < 8; ++j) *lines[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(samples[j]));
  if (!FilterLumaLines(l, a, k)) return;
  for (int j = 1; j < 7; ++j) _mm_store_si128(reinterpret_cast<__m128i*>(samples[j]), *lines[j]);
  for (int n = 0; n < 16; ++n) {
    uint8_t* q = a.q0 + n * a.along;
    for (int j = 1; j < 7; ++j) q[(j - 4) * a.across] = samples[j][n];
  }
}

void LumaEdge(const EdgeFilterArgs& a) {
  if (a.alpha <= 0 || a.beta <= 0) return;  // no difference is below the threshold
  if (!AnyStrength(a)) return;
  const LumaStrengths k = ClassifyLuma(a);
  if (a.along == 1) {
    LumaHorizontalEdge(a, k);
  } else if (a.across == 1) {
    LumaVerticalEdge(a, k);
  } else {
    LumaGatheredEdge(a, k);
  }
}

// Chroma: 8 lanes, kept in 16-bit lanes from the start.  Returns false when
// no sample changes; else p0 and q0 hold the filtered bytes in their low
// halves.
bool FilterChromaLines(__m128i p1, __m128i& p0, __m128i& q0, __m128i q1, const EdgeFilterArgs& a) {
  const __m128i zero = _mm_setzero_si128();
  p1 = _mm_unpacklo_epi8(p1, zero);
  q1 = _mm_unpacklo_epi8(q1, zero);
  const __m128i wp0 = _mm_unpacklo_epi8(p0, zero), wq0 = _mm_unpacklo_epi8(q0, zero);
  auto absDiff = [](__m128i x, __m128i y) { return _mm_max_epi16(_mm_sub_epi16(x, y), _mm_sub_epi16(y, x)); };
  const __m128i alpha = _mm_set1_epi16(static_cast<int16_t>(std::min(a.alpha, 256)));
  const __m128i beta = _mm_set1_epi16(static_cast<int16_t>(std::min(a.beta, 256)));
  const __m128i pass = _mm_and_si128(_mm_and_si128(_mm_cmplt_epi16(absDiff(wp0, wq0), alpha),
                                                   _mm_cmplt_epi16(absDiff(p1, wp0), beta)),
                                     _mm_cmplt_epi16(absDiff(q1, wq0), beta));
  const __m128i bS = ChromaSegments(a.bS);
  const __m128i strongLanes = _mm_cmpgt_epi16(bS, _mm_set1_epi16(3));
  const __m128i setLanes = _mm_xor_si128(_mm_cmpeq_epi16(bS, zero), _mm_set1_epi16(-1));
  const __m128i normal = _mm_and_si128(pass, _mm_andnot_si128(strongLanes, setLanes));
  const __m128i strong = _mm_and_si128(pass, strongLanes);
  const __m128i any = _mm_or_si128(normal, strong);
  if (!_mm_movemask_epi8(any)) return false;
  const __m128i tc = _mm_add_epi16(ChromaSegments(a.tc0), _mm_set1_epi16(1));
  const __m128i delta = Clamp16(Step16(p1, wp0, wq0, q1), tc);
  const __m128i two = _mm_set1_epi16(2);
  auto weak = [two](__m128i near, __m128i x, __m128i far) {  // (2 near + x + far + 2) >> 2
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(near, 1), x), _mm_add_epi16(far, two)), 2);
  };
  const __m128i weakP0 = weak(p1, wp0, q1), weakQ0 = weak(q1, wq0, p1);
  const __m128i newP0 = Select(normal, _mm_add_epi16(wp0, delta), Select(strong, weakP0, wp0));
  const __m128i newQ0 = Select(normal, _mm_sub_epi16(wq0, delta), Select(strong, weakQ0, wq0));
  p0 = _mm_packus_epi16(newP0, newP0);
  q0 = _mm_packus_epi16(newQ0, newQ0);
  return true;
}

void ChromaHorizontalEdge(const EdgeFilterArgs& a) {
  uint8_t* const q = a.q0;
  const ptrdiff_t s = a.across;
  __m128i p0 = Load8(q - s), q0 = Load8(q);
  if (!FilterChromaLines(Load8(q - 2 * s), p0, q0, Load8(q + s), a)) return;
  Store8(q - s, p0);
  Store8(q, q0);
}

void ChromaVerticalEdge(const EdgeFilterArgs& a) {
  uint8_t* const first = a.q0 - 2;
  const ptrdiff_t along = a.along;
  __m128i pairs[4];
  for (int i = 0; i < 4; ++i) {
    pairs[i] = _mm_unpacklo_epi8(Load4(first + 2 * i * along), Load4(first + (2 * i + 1) * along));
  }
  const __m128i upper = _mm_unpacklo_epi16(pairs[0], pairs[1]), lower = _mm_unpacklo_epi16(pairs[2], pairs[3]);
  const __m128i p1p0 = _mm_unpacklo_epi32(upper, lower), q0q1 = _mm_unpackhi_epi32(upper, lower);
  __m128i p0 = _mm_unpackhi_epi64(p1p0, p1p0), q0 = q0q1;
  if (!FilterChromaLines(p1p0, p0, q0, _mm_unpackhi_epi64(q0q1, q0q1), a)) return;
  const __m128i changed = _mm_unpacklo_epi8(p0, q0);
  uint16_t pair[8];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(pair), changed);
  for (int i = 0; i < 8; ++i) std::memcpy(a.q0 - 1 + i * along, &pair[i], 2);
}

void ChromaGatheredEdge(const EdgeFilterArgs& a) {
  alignas(16) uint8_t samples[4][16] = {};
  for (int k = 0; k < 8; ++k) {
    const uint8_t* q = a.q0 + k * a.along;
    for (int j = 0; j < 4; ++j) samples[j][k] = q[(j - 2) * a.across];
  }
  __m128i p0 = Load8(samples[1]), q0 = Load8(samples[2]);
  if (!FilterChromaLines(Load8(samples[0]), p0, q0, Load8(samples[3]), a)) return;
  Store8(samples[1], p0);
  Store8(samples[2], q0);
  for (int k = 0; k < 8; ++k) {
    uint8_t* q = a.q0 + k * a.along;
    q[-a.across] = samples[1][k];
    q[0] = samples[2][k];
  }
}

void ChromaEdge(const EdgeFilterArgs& a) {
  if (a.alpha <= 0 || a.beta <= 0) return;
  if (!AnyStrength(a)) return;
  if (a.along == 1) {
    ChromaHorizontalEdge(a);
  } else if (a.across == 1) {
    ChromaVerticalEdge(a);
  } else {
    ChromaGatheredEdge(a);
  }
}

}  // namespace

void FillSse2EdgeFilters(KernelSet& set) {
  set.lumaEdge = LumaEdge;
  set.chromaEdge = ChromaEdge;
}

}  // namespace avc
