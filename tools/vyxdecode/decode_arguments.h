#pragma once
// vyxdecode's command line: ARCHIVE, the flags --planes, --accurate and
// --deinterlace (which needs --decoder=qx264), and
// options that take a value either as the next argument or after '=' (--threads 2,
// --threads=2), in any order.
#include <optional>
#include <string>
#include <string_view>

#include "player/decode/decode_options.h"

struct DecodeArguments {
  std::string archive;
  bool planes = false;
  std::string ppmDirectory;  // empty: no picture files
  VideoDecodeOptions options;
  // Every kernel family's set (converters, MPEG-4, JPEG, H.264), forced for
  // comparisons through the kernel mask; by default the processor's choice.
  enum class Kernels { kProcessor, kPlain, kSimd };
  Kernels kernels = Kernels::kProcessor;
};

// The words --decoder takes for H.264 records (the decoder kinds' names),
// joined by the separator.
std::string H264DecoderNames(std::string_view separator);

// nullopt with `error` set on anything else.
std::optional<DecodeArguments> ParseDecodeArguments(int argc, const char* const* argv, std::string& error);
