#include "codecs/audio/g726_core.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

// The functional blocks of the recommendation (FMULT, ACCUM, MIX, LOG, QUAN,
// ANTILOG, the adaptation filters, TRANS, TONE, TRIGB) in plain signed
// arithmetic, reduced modulo 2^16 exactly where the recommendation's word
// widths make a sum wrap.
namespace codecs::audio {
namespace {

constexpr int kMinScale = 544;
constexpr int kMaxScale = 5120;

int Wrap16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

int BitLength(int magnitude) { return std::bit_width(static_cast<unsigned>(magnitude)); }

// A magnitude in the 11-bit floating format: sign, 4-bit exponent, 6-bit mantissa.
int16_t ToFloating(int sign, int magnitude) {
  const int exponent = BitLength(magnitude);
  const int mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
  return static_cast<int16_t>((sign << 10) + (exponent << 6) + mantissa);
}

// FMULT: a 16-bit coefficient times a signal in floating format.
int FloatingProduct(int16_t coefficient, int16_t floating) {
  const int an = static_cast<uint16_t>(coefficient);
  const int anSign = an >> 15;
  const int anMagnitude = anSign == 0 ? an >> 2 : (16384 - (an >> 2)) & 8191;
  const int anExponent = BitLength(anMagnitude);
  const int anMantissa = anMagnitude == 0 ? 32 : (anMagnitude << 6) >> anExponent;
  const int srSign = (floating >> 10) & 1;
  const int srExponent = (floating >> 6) & 15;
  const int srMantissa = floating & 63;
  const int exponent = srExponent + anExponent;
  const int mantissa = (srMantissa * anMantissa + 48) >> 4;
  const int magnitude = exponent <= 26 ? (mantissa << 7) >> (26 - exponent)
                                       : ((mantissa << 7) << (exponent - 26)) & 32767;
  return (srSign ^ anSign) ? -magnitude : magnitude;
}

struct Prediction {
  int se;   // signal estimate, 15 bits
  int sez;  // its zero-predictor part
  int y;    // quantizer scale factor, 13 bits
};

Prediction Predict(const G726State& s) {
  int sezi = 0;
  for (size_t i = 0; i < s.b.size(); ++i) sezi += FloatingProduct(s.b[i], s.dq[i]);
  sezi = Wrap16(sezi);
  const int sei =
      Wrap16(sezi + FloatingProduct(s.a[0], s.sr[0]) + FloatingProduct(s.a[1], s.sr[1]));
  // MIX: y = yl + al * (yu - yl), al from the speed control.
  const int al = s.ap >= 256 ? 64 : s.ap >> 2;
  const int slow = s.yl >> 6;
  const int difference = s.yu - slow;
  const int product = (std::abs(difference) * al) >> 6;
  const int y = (slow + (difference < 0 ? -product : product)) & 8191;
  return {sei >> 1, sezi >> 1, y};
}

// LOG, SUBTB and QUAN.
unsigned Quantise(const G726RateTables& t, int difference, int y) {
  const int magnitude = std::abs(difference);
  const int exponent = magnitude >= 2 ? BitLength(magnitude) - 1 : 0;
  const int mantissa = ((magnitude << 7) >> exponent) & 127;
  int normalised = ((exponent << 7) + mantissa + 4096 - (y >> 2)) & 4095;
  if (normalised >= 2048) normalised -= 4096;
  int level = 0;
  while (level < t.magnitudes - 1 && normalised >= t.decisionLevels[static_cast<size_t>(level)])
    ++level;
  const unsigned allOnes = (1u << t.bits) - 1;
  if (difference < 0) return allOnes - static_cast<unsigned>(level);
  if (level == 0 && t.positiveZeroSentNegative) return allOnes;
  return static_cast<unsigned>(level);
}

// Reconstructs the code, adapts every state variable, returns sr.
int Advance(G726State& s, const G726RateTables& t, const Prediction& p, unsigned code) {
  const unsigned allOnes = (1u << t.bits) - 1;
  code &= allOnes;
  const int dqSign = static_cast<int>(code >> (t.bits - 1));
  const size_t level = dqSign ? allOnes - code : code;

  // RECONST, ADDA, ANTILOG.
  const int dql = (t.reconstruction[level] + (p.y >> 2)) & 4095;
  const int dqMagnitude =
      (dql >> 11) ? 0 : ((128 + (dql & 127)) << 7) >> (14 - ((dql >> 7) & 15));
  const int dq = dqSign ? -dqMagnitude : dqMagnitude;

  // ADDB, ADDC.
  const int sr = Wrap16(p.se + dq);
  const int dqsez = Wrap16(p.sez + dq);
  const int pk0 = dqsez < 0 ? 1 : 0;
  const bool partialZero = dqsez == 0;

  // TRANS: a transition from a tone, seen in the current (delayed) state.
  const int ylInteger = s.yl >> 15;
  const int ylFraction = (s.yl >> 10) & 31;
  const int threshold1 = (32 + ylFraction) << ylInteger;
  const int threshold2 = ylInteger > 9 ? 31 << 10 : threshold1;
  const int dqThreshold = (threshold2 + (threshold2 >> 1)) >> 1;
  const bool transition = s.td != 0 && dqMagnitude > dqThreshold;

  // FUNCTW, FILTD, LIMB, FILTE.
  const int yut = p.y + ((t.multiplier[level] * 32 - p.y) >> 5);
  const int yup = std::clamp(yut, kMinScale, kMaxScale);
  const int ylp = s.yl + yup + ((-s.yl) >> 6);

  // UPA2, LIMC.
  const int pks1 = pk0 ^ s.pk[0];
  const int pks2 = pk0 ^ s.pk[1];
  const int fa1 = std::clamp<int>(s.a[0], -8191, 8191) * 4;
  const int ua2 = partialZero ? 0 : ((pks2 ? -16384 : 16384) + (pks1 ? fa1 : -fa1)) >> 7;
  const int a2p = std::clamp(Wrap16(s.a[1] + ua2 - (s.a[1] >> 7)), -12288, 12288);
  // UPA1, LIMD.
  const int ua1 = partialZero ? 0 : (pks1 ? -192 : 192);
  const int a1Limit = 15360 - a2p;
  const int a1p = std::clamp(Wrap16(s.a[0] + ua1 - (s.a[0] >> 8)), -a1Limit, a1Limit);
  // UPB.
  std::array<int16_t, 6> bp;
  for (size_t i = 0; i < bp.size(); ++i) {
    const int gradient =
        dqMagnitude == 0 ? 0 : ((dqSign ^ ((s.dq[i] >> 10) & 1)) ? -128 : 128);
    bp[i] = static_cast<int16_t>(Wrap16(s.b[i] + gradient - (s.b[i] >> t.zeroPredictorLeakShift)));
  }
  // TONE.
  const int tdp = a2p < -11776 ? 1 : 0;

  // FUNCTF, FILTA, FILTB, SUBTC, FILTC: the adaptation speed control.
  const int fi = t.transition[level];
  const int dmsp = s.dms + ((fi * 512 - s.dms) >> 5);
  const int dmlp = s.dml + ((fi * 2048 - s.dml) >> 7);
  const bool stationary =
      p.y >= 1536 && std::abs(dmsp * 4 - dmlp) < (dmlp >> 3) && tdp == 0;
  const int app = s.ap + (((stationary ? 0 : 512) - s.ap) >> 4);

  // TRIGB and the delays.
  s.yu = static_cast<int16_t>(yup);
  s.yl = ylp;
  s.dms = static_cast<int16_t>(dmsp);
  s.dml = static_cast<int16_t>(dmlp);
  s.ap = static_cast<int16_t>(transition ? 256 : app);
  if (transition) {
    s.a = {};
    s.b = {};
    s.td = 0;
  } else {
    s.a = {static_cast<int16_t>(a1p), static_cast<int16_t>(a2p)};
    s.b = bp;
    s.td = static_cast<uint8_t>(tdp);
  }
  std::copy_backward(s.dq.begin(), s.dq.end() - 1, s.dq.end());
  s.dq[0] = ToFloating(dqSign, dqMagnitude);
  s.sr[1] = s.sr[0];
  s.sr[0] = ToFloating(sr < 0 ? 1 : 0, std::abs(sr) & 32767);
  s.pk[1] = s.pk[0];
  s.pk[0] = static_cast<int16_t>(pk0);
  return sr;
}

}  // namespace

void G726State::Sanitise() {
  yu = std::clamp<int16_t>(yu, kMinScale, kMaxScale);
  yl = std::clamp<int32_t>(yl, kMinScale << 6, kMaxScale << 6);
  dms = std::clamp<int16_t>(dms, 0, 4095);
  dml = std::clamp<int16_t>(dml, 0, 16383);
  ap = std::clamp<int16_t>(ap, 0, 1023);
  for (auto& sign : pk) sign &= 1;
  for (auto& value : dq) value &= 2047;
  for (auto& value : sr) value &= 2047;
  td &= 1;
}

uint8_t G726Encode(G726State& state, G726Rate rate, int16_t sample) {
  const G726RateTables& tables = G726TablesFor(rate);
  const Prediction prediction = Predict(state);
  const unsigned code = Quantise(tables, (sample >> 2) - prediction.se, prediction.y);
  Advance(state, tables, prediction, code);
  return static_cast<uint8_t>(code);
}

int16_t G726Decode(G726State& state, G726Rate rate, unsigned code) {
  const G726RateTables& tables = G726TablesFor(rate);
  const Prediction prediction = Predict(state);
  const int sr = Advance(state, tables, prediction, code);
  return static_cast<int16_t>(std::clamp(sr * 4, -32768, 32767));
}

}  // namespace codecs::audio
