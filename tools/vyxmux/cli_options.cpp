#include "tools/vyxmux/cli_options.h"

#include <charconv>

#include "player/archive/vyx_format.h"

const char kVyxmuxUsage[] =
    "Usage: vyxmux -o OUT.vyx [VIDEO] [--audio SPEC]... [OPTIONS]\n"
    "Builds a .vyx archive from elementary streams and raw audio payload.\n"
    "\n"
    "VIDEO (one kind at most):\n"
    "  --h264 FILE        H.264 Annex B byte stream, one record per frame picture\n"
    "                     or field pair (both fields in one record): type 133\n"
    "                     when it holds an IDR slice, else 134\n"
    "  --mpeg4 FILE       MPEG-4 Visual elementary stream, one record per VOP:\n"
    "                     type 129 for an I-VOP, else 130\n"
    "  --jpeg FILE        one JPEG picture, type 136; repeat for more frames\n"
    "\n"
    "AUDIO (repeatable, each track interleaved with the video by time):\n"
    "  --audio TYPE:FILE:CHUNK_BYTES:BYTES_PER_SECOND\n"
    "                     raw payload of audio type TYPE (145 IMA ADPCM, 146 G.723\n"
    "                     24 kbit/s, 147 voice; 131 and 132 too) cut into records\n"
    "                     of CHUNK_BYTES (the last may be shorter); the record\n"
    "                     starting at byte B has time --start + B/BYTES_PER_SECOND.\n"
    "                     For 145 CHUNK_BYTES and the file size are multiples of\n"
    "                     256.  BYTES_PER_SECOND takes a rate like --fps, e.g.\n"
    "                     2048000/505 for 8 kHz IMA ADPCM, 3000 for G.723 24k\n"
    "\n"
    "TIMING (times are whole microseconds, rounded down):\n"
    "  --start SECONDS    recording time of the first frame, seconds since\n"
    "                     1970-01-01 UTC (default 1700000000)\n"
    "  --fps RATE         video frame rate: 25, 12.5 or 30000/1001 (default 25)\n"
    "  --times T0,T1,...  video frame times in decimal seconds after --start,\n"
    "                     exactly one per video frame (instead of --fps)\n"
    "\n"
    "HEADER FIELDS (every record):\n"
    "  --channel N        camera channel 0..255 (default 0)\n"
    "  --title TEXT       title, at most 17 bytes (default empty)\n"
    "  --flag N           frame flag byte (byte 42) 0..255 (default 0)\n"
    "  --magic HEX        magic number (default E6804FA7)\n"
    "\n"
    "VIDEO OVERRIDES:\n"
    "  --size WxH         picture size of every video record (default: from the\n"
    "                     SPS frame cropping, the VOL header or the JPEG SOF)\n"
    "  --type KEY[,OTHER] frame types of key and other video records (e.g.\n"
    "                     140,141); a single value sets every video record\n"
    "\n"
    "  -o, --output FILE  the archive to write\n"
    "  -h, --help         this text\n"
    "\n"
    "On success prints one summary line and exits 0; on bad input prints the\n"
    "reason and exits 1 (2 for a bad command line).\n";

namespace {

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t max, int base = 10) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) begin += 2;
  uint64_t value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value, base);
  if (begin == end || ec != std::errc() || ptr != end || value > max) return std::nullopt;
  return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (true) {
    const size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

// TYPE:FILE:CHUNK_BYTES:BYTES_PER_SECOND; FILE may itself hold colons.
std::optional<AudioInput> ParseAudio(const std::string& argument, std::string& error) {
  const size_t first = argument.find(':');
  const size_t last = argument.rfind(':');
  const size_t middle = last == std::string::npos || last == 0 ? std::string::npos : argument.rfind(':', last - 1);
  if (first == std::string::npos || middle == std::string::npos || middle <= first) {
    error = "--audio wants TYPE:FILE:CHUNK_BYTES:BYTES_PER_SECOND, got '" + argument + "'";
    return std::nullopt;
  }
  AudioInput input;
  const auto type = ParseUnsigned(argument.substr(0, first), 255);
  if (!type || !IsAudioFrameType(static_cast<uint8_t>(*type))) {
    error = "--audio: TYPE must be 131, 132, 145, 146 or 147 in '" + argument + "'";
    return std::nullopt;
  }
  input.type = static_cast<uint8_t>(*type);
  input.path = argument.substr(first + 1, middle - first - 1);
  const auto chunk = ParseUnsigned(argument.substr(middle + 1, last - middle - 1), UINT32_MAX);
  const auto rate = ParseRate(argument.substr(last + 1));
  if (input.path.empty() || !chunk || *chunk == 0 || !rate) {
    error = "--audio: bad FILE, CHUNK_BYTES or BYTES_PER_SECOND in '" + argument + "'";
    return std::nullopt;
  }
  input.chunkBytes = static_cast<size_t>(*chunk);
  input.bytesPerSecond = *rate;
  return input;
}

}  // namespace

std::optional<VyxmuxOptions> ParseVyxmuxOptions(int argc, const char* const* argv, std::string& error) {
  VyxmuxOptions options;
  bool fpsGiven = false;
  auto setVideo = [&](VideoKind kind, const std::string& path) {
    if (options.videoKind != VideoKind::kNone && options.videoKind != kind) {
      error = "give one kind of video source only";
      return false;
    }
    if (kind != VideoKind::kJpeg && !options.videoFiles.empty()) {
      error = "give one video stream only";
      return false;
    }
    options.videoKind = kind;
    options.videoFiles.push_back(path);
    return true;
  };

  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::optional<std::string> inlineValue;
    if (name.rfind("--", 0) == 0) {
      if (const size_t eq = name.find('='); eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name.resize(eq);
      }
    }
    if (name == "-h" || name == "--help") {
      options.help = true;
      return options;
    }
    if (!inlineValue && i + 1 >= argc) {
      error = "unknown option or missing value: " + name;
      return std::nullopt;
    }
    const std::string value = inlineValue ? *inlineValue : argv[++i];
    auto bad = [&](const std::string& what) {
      error = name + ": " + what + ", got '" + value + "'";
      return std::nullopt;
    };

    if (name == "-o" || name == "--output") {
      options.output = value;
    } else if (name == "--h264") {
      if (!setVideo(VideoKind::kH264, value)) return std::nullopt;
    } else if (name == "--mpeg4") {
      if (!setVideo(VideoKind::kMpeg4, value)) return std::nullopt;
    } else if (name == "--jpeg") {
      if (!setVideo(VideoKind::kJpeg, value)) return std::nullopt;
    } else if (name == "--audio") {
      auto audio = ParseAudio(value, error);
      if (!audio) return std::nullopt;
      options.audio.push_back(*audio);
    } else if (name == "--start") {
      const auto start = ParseUnsigned(value, UINT32_MAX);
      if (!start) return bad("want seconds since 1970, 0..4294967295");
      options.fields.startSeconds = static_cast<uint32_t>(*start);
    } else if (name == "--fps") {
      const auto fps = ParseRate(value);
      if (!fps) return bad("want a positive rate like 25, 12.5 or 30000/1001");
      options.fps = *fps;
      fpsGiven = true;
    } else if (name == "--times") {
      std::vector<uint64_t> times;
      for (const std::string& part : Split(value, ',')) {
        const auto usec = ParseSecondsAsUsec(part);
        if (!usec) return bad("want comma-separated non-negative decimal seconds");
        times.push_back(*usec);
      }
      options.timesUsec = std::move(times);
    } else if (name == "--channel" || name == "--flag") {
      const auto byte = ParseUnsigned(value, 255);
      if (!byte) return bad("want 0..255");
      (name == "--channel" ? options.fields.channel : options.fields.frameFlag) = static_cast<uint8_t>(*byte);
    } else if (name == "--title") {
      if (value.size() > sizeof(VYX_FRAME_HEADER::title)) return bad("at most 17 bytes");
      options.fields.title = value;
    } else if (name == "--magic") {
      const auto magic = ParseUnsigned(value, UINT32_MAX, 16);
      if (!magic) return bad("want a 32-bit hexadecimal number");
      options.fields.magic = static_cast<uint32_t>(*magic);
    } else if (name == "--size") {
      const auto parts = Split(value, 'x');
      const auto width = parts.size() == 2 ? ParseUnsigned(parts[0], UINT16_MAX) : std::nullopt;
      const auto height = parts.size() == 2 ? ParseUnsigned(parts[1], UINT16_MAX) : std::nullopt;
      if (!width || !height) return bad("want WIDTHxHEIGHT, each 0..65535");
      options.size = PictureSize{static_cast<uint16_t>(*width), static_cast<uint16_t>(*height)};
    } else if (name == "--type") {
      const auto parts = Split(value, ',');
      const auto key = parts.size() <= 2 ? ParseUnsigned(parts[0], 255) : std::nullopt;
      const auto other = parts.size() == 2 ? ParseUnsigned(parts[1], 255) : key;
      if (!key || !other) return bad("want KEY[,OTHER], each 0..255");
      options.keyType = static_cast<uint8_t>(*key);
      options.otherType = static_cast<uint8_t>(*other);
    } else {
      error = "unknown option: " + name;
      return std::nullopt;
    }
  }

  if (options.output.empty()) {
    error = "no output: give -o OUT.vyx";
    return std::nullopt;
  }
  if (options.videoKind == VideoKind::kNone && options.audio.empty()) {
    error = "nothing to mux: give a video source or --audio";
    return std::nullopt;
  }
  if (fpsGiven && options.timesUsec) {
    error = "give --fps or --times, not both";
    return std::nullopt;
  }
  if (options.timesUsec && options.videoKind == VideoKind::kNone) {
    error = "--times needs a video source";
    return std::nullopt;
  }
  return options;
}
