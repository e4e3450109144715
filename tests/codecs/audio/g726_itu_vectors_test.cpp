// The G.726 core against the ITU-T reset test vectors of every rate.  Our
// coder is linear in and out, so the law-coded inputs are expanded first and
// the decoder's output is compressed again.  A linear decoder lacks the
// recommendation's synchronous coding adjustment: where that adjustment
// moves the vector's output by one step, ours may differ by exactly that.
// The recommendation's own law compressor is used on our output: its µ-law
// takes the true magnitude of a negative signal (G.191 takes the ones'
// complement, which rounds 1 of every 4 negative inputs differently).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "codecs/audio/g726_core.h"
#include "tests/codecs/audio/audio_test_support.h"
#include "tests/support/test_support.h"

namespace {

using audio_test::Law;
using codecs::audio::G726Decode;
using codecs::audio::G726Encode;
using codecs::audio::G726Rate;
using codecs::audio::G726State;

struct RateCase {
  G726Rate rate;
  const char* name;
};
constexpr std::array<RateCase, 4> kRates = {{{G726Rate::k16, "16"},
                                             {G726Rate::k24, "24"},
                                             {G726Rate::k32, "32"},
                                             {G726Rate::k40, "40"}}};

char LawLetter(Law law) { return law == Law::kAlaw ? 'a' : 'm'; }

// Position of a law code among the distinct output levels, lowest first.
int LevelRank(Law law, uint8_t code) {
  static const auto ranks = [] {
    std::map<Law, std::array<int, 256>> result;
    for (Law l : {Law::kAlaw, Law::kUlaw}) {
      std::array<int, 256> values;
      for (int c = 0; c < 256; ++c) values[static_cast<size_t>(c)] = audio_test::Expand(l, static_cast<uint8_t>(c));
      std::array<int, 256> sorted = values;
      std::sort(sorted.begin(), sorted.end());
      const auto end = std::unique(sorted.begin(), sorted.end());
      for (size_t c = 0; c < 256; ++c)
        result[l][c] = static_cast<int>(std::lower_bound(sorted.begin(), end, values[c]) - sorted.begin());
    }
    return result;
  }();
  return ranks.at(law)[code];
}

uint8_t CompressLikeTheRecommendation(Law law, int16_t sample) {
  if (law == Law::kAlaw || sample >= 0) return audio_test::Compress(law, sample);
  const auto magnitude = static_cast<int16_t>(std::min(32767, -sample));
  return static_cast<uint8_t>(audio_test::Compress(law, magnitude) & 0x7F);
}

// sr = -32768 in the floating format: the recommendation's compressor reads
// its magnitude as 0, a click that our saturated output does not have.
bool ReconstructedMostNegative(const G726State& state) { return state.sr[0] == 1024 + 32; }

std::vector<int16_t> ExpectedCodes(const std::string& name) {
  auto file = testing_support::TestDataFile("g726/" + name);
  return file ? audio_test::ReadWords(*file) : std::vector<int16_t>{};
}

TEST(G726ItuVectors, EncoderReproducesResetVectorCodes) {
  ORLENTA_REQUIRE_TESTDATA(probe, "g726/nrm.a");
  for (const RateCase& rate : kRates) {
    for (Law law : {Law::kAlaw, Law::kUlaw}) {
      for (const std::string input : {"nrm", "ovr"}) {
        const std::string prefix = input == "nrm" ? "rn" : "rv";
        const auto source = ExpectedCodes(input + "." + LawLetter(law));
        const auto expected = ExpectedCodes(prefix + rate.name + "f" + LawLetter(law) + ".i");
        ASSERT_FALSE(source.empty());
        ASSERT_EQ(source.size(), expected.size());
        G726State state;
        size_t mismatches = 0, first = source.size();
        for (size_t k = 0; k < source.size(); ++k) {
          const uint8_t code =
              G726Encode(state, rate.rate, audio_test::Expand(law, static_cast<uint8_t>(source[k])));
          if (code != expected[k]) {
            ++mismatches;
            first = std::min(first, k);
          }
        }
        EXPECT_EQ(mismatches, 0u) << prefix << rate.name << "f" << LawLetter(law)
                                  << ".i first differs at " << first;
      }
    }
  }
}

struct DecodeVector {
  std::string codes;   // decoder input
  std::string output;  // expected law output
  Law law;
};

std::vector<DecodeVector> DecodeVectors(const RateCase& rate) {
  const std::string r = rate.name;
  return {{"rn" + r + "fa.i", "rn" + r + "fa.o", Law::kAlaw},
          {"rn" + r + "fm.i", "rn" + r + "fm.o", Law::kUlaw},
          {"rn" + r + "fm.i", "rn" + r + "fc.o", Law::kAlaw},
          {"rn" + r + "fa.i", "rn" + r + "fx.o", Law::kUlaw},
          {"rv" + r + "fa.i", "rv" + r + "fa.o", Law::kAlaw},
          {"rv" + r + "fm.i", "rv" + r + "fm.o", Law::kUlaw},
          {"rv" + r + "fm.i", "rv" + r + "fc.o", Law::kAlaw},
          {"rv" + r + "fa.i", "rv" + r + "fx.o", Law::kUlaw},
          {"i" + r, "ri" + r + "fa.o", Law::kAlaw},
          {"i" + r, "ri" + r + "fm.o", Law::kUlaw}};
}

TEST(G726ItuVectors, DecoderMatchesResetVectorsUpToSynchronousCodingAdjustment) {
  ORLENTA_REQUIRE_TESTDATA(probe, "g726/i16");
  for (const RateCase& rate : kRates) {
    for (const DecodeVector& vector : DecodeVectors(rate)) {
      const auto codes = ExpectedCodes(vector.codes);
      const auto expected = ExpectedCodes(vector.output);
      ASSERT_FALSE(codes.empty()) << vector.codes;
      ASSERT_EQ(codes.size(), expected.size()) << vector.output;
      G726State state;
      size_t adjusted = 0, wrapped = 0, unexplained = 0, first = codes.size();
      for (size_t k = 0; k < codes.size(); ++k) {
        const G726State before = state;
        const uint8_t ours = CompressLikeTheRecommendation(
            vector.law, G726Decode(state, rate.rate, static_cast<unsigned>(codes[k])));
        const auto theirs = static_cast<uint8_t>(expected[k]);
        if (ours != theirs && ReconstructedMostNegative(state)) {
          ++wrapped;
          continue;
        }
        // The adjustment re-codes the output sample with the decoder's state
        // and moves the output one step when that gives another code.
        G726State probe = before;
        const bool recodesDifferently =
            G726Encode(probe, rate.rate, audio_test::Expand(vector.law, ours)) != codes[k];
        const int steps = std::abs(LevelRank(vector.law, ours) - LevelRank(vector.law, theirs));
        if (ours == theirs) continue;
        if (recodesDifferently && steps == 1) {
          ++adjusted;
        } else {
          ++unexplained;
          first = std::min(first, k);
        }
      }
      EXPECT_EQ(unexplained, 0u) << vector.output << " first differs at " << first;
      EXPECT_LE(wrapped, 1u) << vector.output;
      RecordProperty(vector.output, std::to_string(adjusted) + " adjusted, " +
                                        std::to_string(wrapped) + " at sr = -32768");
    }
  }
}

}  // namespace
