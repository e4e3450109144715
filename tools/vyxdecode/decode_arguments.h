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
};

// The words --decoder takes for H.264 records (the decoder kinds' names),
// joined by the separator.
std::string H264DecoderNames(std::string_view separator);

// nullopt with `error` set on anything else.
std::optional<DecodeArguments> ParseDecodeArguments(int argc, const char* const* argv, std::string& error);
