#pragma once
// What FFmpeg's own demuxers and parsers make of a stream: the oracle the
// splitter tests compare with.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ReferencePacket {
  size_t size = 0;
  std::string md5;
  bool key = false;
};

// The packets of `ffmpeg -i FILE -c copy -f framemd5 -` (all of them: with
// -copyinkf, so that packets before the first key frame are kept) with the
// key flags of `ffprobe -show_packets`; nullopt when a tool fails or the two
// disagree on the packet count.
std::optional<std::vector<ReferencePacket>> ReferencePackets(const std::filesystem::path& file);

// Runs `ffmpeg -nostdin -loglevel error -y ARGS`; true on success.
bool RunFfmpeg(const std::string& args);
