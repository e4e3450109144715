#include "tools/vyxdecode/decode_arguments.h"

#include <charconv>
#include <string_view>

#include "player/archive/vyx_format.h"
#include "player/decode/decoder_kinds.h"
#include "player/decode/decoder_threads.h"

namespace {

// The options that take a value.
constexpr std::string_view kValuedOptions[] = {"--threads", "--ppm", "--decoder", "--kernels"};

bool TakesValue(std::string_view name) {
  for (std::string_view valued : kValuedOptions)
    if (name == valued) return true;
  return false;
}

std::optional<int> ParseCount(std::string_view text, int max) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
    return std::nullopt;
  return value;
}

// The word of the kind that ownH264 chooses for H.264 records.
std::string OwnH264DecoderName() {
  for (const DecoderKindRow* kind : DecoderKindsForClass(CODEC_CLASS_H264))
    if (kind->codecClass != CODEC_CLASS_H264) return std::string(kind->name);
  return {};
}

// Options with a value: false with `error` set when the value is refused.
bool SetOption(std::string_view name, std::string_view value, DecodeArguments& arguments, std::string& error) {
  if (name == "--ppm") {
    if (value.empty()) {
      error = "--ppm wants a directory";
      return false;
    }
    arguments.ppmDirectory = std::string(value);
    return true;
  }
  if (name == "--threads") {
    const auto threads = ParseCount(value, kMaxDecoderThreads);
    if (!threads) {
      error = "--threads wants 0.." + std::to_string(kMaxDecoderThreads) + ", got '" + std::string(value) + "'";
      return false;
    }
    arguments.options.h264Threads = *threads;
    return true;
  }
  if (name == "--decoder") {
    for (const DecoderKindRow* kind : DecoderKindsForClass(CODEC_CLASS_H264)) {
      if (kind->name != value) continue;
      arguments.options.ownH264 = kind->codecClass != CODEC_CLASS_H264;
      return true;
    }
    error = "--decoder wants " + H264DecoderNames(" or ") + ", got '" + std::string(value) + "'";
    return false;
  }
  if (name == "--kernels") {
    if (value != "plain" && value != "simd") {
      error = "--kernels wants plain or simd, got '" + std::string(value) + "'";
      return false;
    }
    arguments.kernels = value == "plain" ? DecodeArguments::Kernels::kPlain : DecodeArguments::Kernels::kSimd;
    return true;
  }
  error = "unknown option " + std::string(name);
  return false;
}

}  // namespace

std::string H264DecoderNames(std::string_view separator) {
  std::string names;
  for (const DecoderKindRow* kind : DecoderKindsForClass(CODEC_CLASS_H264)) {
    if (!names.empty()) names += separator;
    names += kind->name;
  }
  return names;
}

std::optional<DecodeArguments> ParseDecodeArguments(int argc, const char* const* argv, std::string& error) {
  DecodeArguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--planes") {
      arguments.planes = true;
    } else if (argument == "--deinterlace") {
      arguments.options.ownH264Deinterlace = true;
    } else if (argument == "--accurate") {
      arguments.options.jpegAccurate = true;
    } else if (argument.starts_with("--")) {
      const size_t equals = argument.find('=');
      const std::string_view name = argument.substr(0, equals);
      std::string_view value;
      if (!TakesValue(name)) {
        error = "unknown option " + std::string(argument);
        return std::nullopt;
      }
      if (equals != std::string_view::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        error = std::string(name) + " wants a value";
        return std::nullopt;
      }
      if (!SetOption(name, value, arguments, error)) return std::nullopt;
    } else if (argument.starts_with("-") || !arguments.archive.empty()) {
      error = "unexpected argument '" + std::string(argument) + "'";
      return std::nullopt;
    } else {
      arguments.archive = argument;
    }
  }
  if (arguments.archive.empty()) {
    error = "no archive given";
    return std::nullopt;
  }
  if (arguments.options.ownH264Deinterlace && !arguments.options.ownH264) {
    error = "--deinterlace needs --decoder=" + OwnH264DecoderName();
    return std::nullopt;
  }
  return arguments;
}
