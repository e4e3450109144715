// CAdpcm against sox, whose IMA ADPCM WAV decoder is bit-exact, and the
// encoder's own behaviour: its step index search and the index it carries.
#include "codecs/audio/adpcm.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "tests/codecs/audio/audio_test_support.h"
#include "tests/support/test_support.h"

namespace {

using codecs::audio::CAdpcm;
using Block = std::array<uint8_t, CAdpcm::kBlockBytes>;
using Pcm = std::array<int16_t, CAdpcm::kSamplesPerBlock>;

Pcm Decode(const Block& block) {
  Pcm pcm;
  CAdpcm().Decode(block, pcm);
  return pcm;
}

Block Encode(CAdpcm& encoder, const Pcm& pcm) {
  Block block;
  encoder.Encode(pcm, block);
  return block;
}

Block MakeBlock(int16_t first, uint8_t stepIndex, uint8_t codeByte) {
  Block block;
  block.fill(codeByte);
  block[0] = static_cast<uint8_t>(static_cast<uint16_t>(first) & 0xFF);
  block[1] = static_cast<uint8_t>(static_cast<uint16_t>(first) >> 8);
  block[2] = stepIndex;
  block[3] = 0;
  return block;
}

// Decodes blocks with sox through a WAV file.
std::vector<int16_t> SoxDecode(const std::vector<Block>& blocks) {
  testing_support::ScratchDir dir("adpcm-sox");
  std::vector<uint8_t> bytes;
  for (const Block& block : blocks) bytes.insert(bytes.end(), block.begin(), block.end());
  audio_test::WriteImaWav(dir / "in.wav", bytes, CAdpcm::kBlockBytes, CAdpcm::kSamplesPerBlock);
  const std::string command = "sox '" + (dir / "in.wav").string() +
                              "' -t raw -e signed-integer -b 16 -L '" + (dir / "out.raw").string() + "'";
  if (testing_support::Run(command) != 0) return {};
  return audio_test::ReadWords(dir / "out.raw");
}

std::vector<int16_t> DecodeAll(const std::vector<Block>& blocks) {
  std::vector<int16_t> pcm;
  for (const Block& block : blocks) {
    const Pcm decoded = Decode(block);
    pcm.insert(pcm.end(), decoded.begin(), decoded.end());
  }
  return pcm;
}

TEST(CAdpcmDecode, MatchesSoxOnRandomAndExtremeBlocks) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  std::mt19937 random(11);
  std::vector<Block> blocks;
  for (int i = 0; i < 64; ++i) {
    Block block;
    for (uint8_t& byte : block) byte = static_cast<uint8_t>(random());
    block[2] = static_cast<uint8_t>(random() % 89);
    block[3] = 0;
    blocks.push_back(block);
  }
  // Full steps up and down from near the limits clamp the predictor.
  blocks.push_back(MakeBlock(32000, 88, 0x77));
  blocks.push_back(MakeBlock(-32000, 88, 0xFF));
  blocks.push_back(MakeBlock(0, 0, 0x00));
  const auto expected = SoxDecode(blocks);
  ASSERT_EQ(expected.size(), blocks.size() * CAdpcm::kSamplesPerBlock);
  EXPECT_EQ(DecodeAll(blocks), expected);
}

TEST(CAdpcmDecode, HeaderGivesFirstSampleAndAnOutOfRangeIndexCountsAsZero) {
  const Block block = MakeBlock(-1234, 200, 0x3C);
  const Pcm pcm = Decode(block);
  EXPECT_EQ(pcm[0], -1234);
  EXPECT_EQ(pcm, Decode(MakeBlock(-1234, 0, 0x3C)));
}

TEST(CAdpcmDecode, PredictorClampsAtTheSixteenBitLimits) {
  const Pcm up = Decode(MakeBlock(32000, 88, 0x77));
  EXPECT_EQ(up[1], 32767);
  EXPECT_EQ(up[504], 32767);
  const Pcm down = Decode(MakeBlock(-32000, 88, 0xFF));
  EXPECT_EQ(down[1], -32768);
  EXPECT_EQ(down[504], -32768);
}

TEST(CAdpcmEncode, SoxDecodesOurBlocksLikeOurDecoderAndTheSignalSurvives) {
  ORLENTA_REQUIRE_PROGRAM("sox");
  const size_t blockCount = 40;
  const auto signal = audio_test::SpeechLikeSignal(blockCount * CAdpcm::kSamplesPerBlock, 12000, 3);
  CAdpcm encoder;
  std::vector<Block> blocks;
  for (size_t b = 0; b < blockCount; ++b) {
    Pcm pcm;
    std::copy_n(signal.begin() + static_cast<ptrdiff_t>(b * pcm.size()), pcm.size(), pcm.begin());
    blocks.push_back(Encode(encoder, pcm));
  }
  const auto decoded = DecodeAll(blocks);
  EXPECT_EQ(SoxDecode(blocks), decoded);
  EXPECT_GT(audio_test::SignalToNoiseDb(signal, decoded), 20.0);
}

TEST(CAdpcmEncode, ConstantSignalEndsInZeroCodesOnceTheStepIndexReachesZero) {
  CAdpcm encoder;
  Pcm constant;
  constant.fill(1234);
  const Block block = Encode(encoder, constant);
  EXPECT_EQ(block[0] | (block[1] << 8), 1234);
  // At most 88 codes bring the index down to 0; the rest are zero.
  for (size_t i = CAdpcm::kHeaderBytes + 44; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << i;
  const Pcm decoded = Decode(block);
  EXPECT_EQ(decoded[504], 1234);
}

TEST(CAdpcmEncode, EveryEncoderStartsItsSearchWhereTheLastBlockEnded) {
  Pcm fullScale, silence{};
  for (size_t i = 0; i < fullScale.size(); ++i) fullScale[i] = (i & 1) ? 32767 : -32768;
  CAdpcm first, second;
  // Full scale wants the largest steps from wherever the search starts.
  EXPECT_EQ(Encode(first, fullScale)[2], 87);
  // From there silence stops at the first index whose error no index within
  // nine below improves on; from index 0 it would stay at 0.  A fresh
  // encoder continues from the shared index too.
  const Block silent = Encode(second, silence);
  EXPECT_EQ(silent[2], 28);
  // The search re-tries the whole window around its choice, so the same
  // block again gives the same block.
  EXPECT_EQ(Encode(first, silence), silent);
}

}  // namespace
