#pragma once
// The vyxmux command line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/vyxmux/mux.h"
#include "tools/vyxmux/picture_size.h"
#include "tools/vyxmux/timing.h"

extern const char kVyxmuxUsage[];

enum class VideoKind { kNone, kH264, kMpeg4, kJpeg };

struct AudioInput {
  uint8_t type = 0;
  std::string path;
  size_t chunkBytes = 0;
  Rational bytesPerSecond;
};

struct VyxmuxOptions {
  bool help = false;
  std::string output;
  VideoKind videoKind = VideoKind::kNone;
  std::vector<std::string> videoFiles;  // one stream, or the JPEG files in order
  std::vector<AudioInput> audio;
  RecordFields fields;
  Rational fps{25, 1};
  std::optional<std::vector<uint64_t>> timesUsec;  // instead of fps
  std::optional<PictureSize> size;
  std::optional<uint8_t> keyType;
  std::optional<uint8_t> otherType;
};

// nullopt with `error` set when the command line is not valid.
std::optional<VyxmuxOptions> ParseVyxmuxOptions(int argc, const char* const* argv, std::string& error);
