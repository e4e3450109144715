#include "tests/codecs/audio/audio_test_support.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

#include "codecs/audio/g711.h"

namespace audio_test {

std::vector<int16_t> ReadWords(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  std::vector<int16_t> words(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return words;
}

void WriteWords(const std::filesystem::path& path, const std::vector<int16_t>& words) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const int16_t word : words) {
    const auto u = static_cast<uint16_t>(word);
    out.put(static_cast<char>(u & 0xFF));
    out.put(static_cast<char>(u >> 8));
  }
}

uint8_t Compress(Law law, int16_t sample) {
  return law == Law::kAlaw ? codecs::audio::LinearToAlaw(sample) : codecs::audio::LinearToUlaw(sample);
}

int16_t Expand(Law law, uint8_t code) {
  return law == Law::kAlaw ? codecs::audio::AlawToLinear(code) : codecs::audio::UlawToLinear(code);
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

void WriteImaWav(const std::filesystem::path& path, const std::vector<uint8_t>& blocks,
                 int blockAlign, int samplesPerBlock) {
  const auto blockCount = static_cast<uint32_t>(blocks.size() / static_cast<size_t>(blockAlign));
  std::vector<uint8_t> file;  // the headers
  PutTag(file, "RIFF");
  Put32(file, 4 + (8 + 20) + (8 + 4) + 8 + static_cast<uint32_t>(blocks.size()));
  PutTag(file, "WAVE");
  PutTag(file, "fmt ");
  Put32(file, 20);
  Put16(file, 0x11);                 // IMA ADPCM
  Put16(file, 1);                    // mono
  Put32(file, 8000);                 // samples per second
  Put32(file, static_cast<uint32_t>(8000 * blockAlign / samplesPerBlock));
  Put16(file, static_cast<uint32_t>(blockAlign));
  Put16(file, 4);                    // bits per sample
  Put16(file, 2);                    // extra bytes
  Put16(file, static_cast<uint32_t>(samplesPerBlock));
  PutTag(file, "fact");
  Put32(file, 4);
  Put32(file, blockCount * static_cast<uint32_t>(samplesPerBlock));
  PutTag(file, "data");
  Put32(file, static_cast<uint32_t>(blocks.size()));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.write(reinterpret_cast<const char*>(blocks.data()), static_cast<std::streamsize>(blocks.size()));
}

std::vector<int16_t> SpeechLikeSignal(size_t count, int peak, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 0.15);
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / 8000.0;
    // A syllable envelope of about 4 Hz over a few formant-like tones.
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 3.7 * t);
    const double voice = 0.45 * std::sin(2 * std::numbers::pi * 210 * t) +
                         0.25 * std::sin(2 * std::numbers::pi * 730 * t + 0.3) +
                         0.15 * std::sin(2 * std::numbers::pi * 1900 * t + 1.1);
    const double value = envelope * (voice + noise(random));
    samples[i] = static_cast<int16_t>(std::clamp(value * peak, -32768.0, 32767.0));
  }
  return samples;
}

double SignalToNoiseDb(const std::vector<int16_t>& signal, const std::vector<int16_t>& decoded) {
  double signalEnergy = 0, noiseEnergy = 0;
  for (size_t i = 0; i < signal.size() && i < decoded.size(); ++i) {
    const double s = signal[i];
    const double d = s - decoded[i];
    signalEnergy += s * s;
    noiseEnergy += d * d;
  }
  return 10 * std::log10(signalEnergy / std::max(noiseEnergy, 1.0));
}

}  // namespace audio_test
