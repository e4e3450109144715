#include "tools/vyxdecode/decode_arguments.h"

#include <charconv>
#include <string_view>

#include "player/decoder_threads.h"

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
    if (value != "ffmpeg" && value != "qx264") {
      error = "--decoder wants ffmpeg or qx264, got '" + std::string(value) + "'";
      return false;
    }
    arguments.options.ownH264 = value == "qx264";
    return true;
  }
  if (name == "--kernels") {
    if (value != "plain" && value != "simd") {
      error = "--kernels wants plain or simd, got '" + std::string(value) + "'";
      return false;
    }
    arguments.options.h264Kernels =
        value == "plain" ? VideoDecodeOptions::Kernels::kPlain : VideoDecodeOptions::Kernels::kSimd;
    return true;
  }
  error = "unknown option " + std::string(name);
  return false;
}

}  // namespace

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
    error = "--deinterlace needs --decoder=qx264";
    return std::nullopt;
  }
  return arguments;
}
