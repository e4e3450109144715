#pragma once
// What the audio tests share: the reference vectors' file format, G.711 by
// law, IMA ADPCM WAV files for sox, and synthetic speech-like signals.
#include <cstdint>
#include <filesystem>
#include <vector>

namespace audio_test {

// One 16-bit little-endian word per sample (the ITU vectors' format).
std::vector<int16_t> ReadWords(const std::filesystem::path& path);
void WriteWords(const std::filesystem::path& path, const std::vector<int16_t>& words);

enum class Law { kAlaw, kUlaw };
uint8_t Compress(Law law, int16_t sample);
int16_t Expand(Law law, uint8_t code);

// A mono IMA ADPCM WAV file (format 0x11) of whole blocks.
void WriteImaWav(const std::filesystem::path& path, const std::vector<uint8_t>& blocks,
                 int blockAlign, int samplesPerBlock);

// `count` samples of a mix of tones and noise, peak close to `peak`.
std::vector<int16_t> SpeechLikeSignal(size_t count, int peak, uint32_t seed);

// 10 log10 of the signal's energy over the energy of the difference.
double SignalToNoiseDb(const std::vector<int16_t>& signal, const std::vector<int16_t>& decoded);

}  // namespace audio_test
