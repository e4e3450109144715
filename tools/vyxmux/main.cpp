// vyxmux: builds ".vyx" archives from elementary streams and raw audio, for
// tests and for trying the player on material of known content.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "player/archive/vyx_format.h"
#include "tools/vyxmux/annexb_splitter.h"
#include "tools/vyxmux/audio_chunks.h"
#include "tools/vyxmux/cli_options.h"
#include "tools/vyxmux/field_pair_records.h"
#include "tools/vyxmux/jpeg_size.h"
#include "tools/vyxmux/mpeg4_vop_splitter.h"
#include "tools/vyxmux/mux.h"

namespace {

struct Failure {
  std::string message;
};

std::vector<uint8_t> ReadInput(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{path + ": cannot open: " + std::strerror(errno)};
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure{path + ": read error"};
  if (bytes.empty()) throw Failure{path + ": the file is empty"};
  return bytes;
}

struct VideoUnit {
  std::vector<uint8_t> bytes;
  bool key = false;
  PictureSize size;
};

std::vector<VideoUnit> ReadVideo(const VyxmuxOptions& options) {
  std::vector<VideoUnit> units;
  std::string error;
  switch (options.videoKind) {
    case VideoKind::kNone:
      break;
    case VideoKind::kH264: {
      const std::string& path = options.videoFiles.front();
      for (AccessUnit& au : JoinFieldPairs(SplitAnnexB(ReadInput(path), &error))) {
        units.push_back({std::move(au.bytes), au.idr, {au.width, au.height}});
      }
      if (!error.empty()) throw Failure{path + ": " + error};
      break;
    }
    case VideoKind::kMpeg4: {
      const std::string& path = options.videoFiles.front();
      for (Mpeg4Vop& vop : SplitMpeg4Vops(ReadInput(path), &error)) {
        units.push_back({std::move(vop.bytes), vop.intra, {vop.width, vop.height}});
      }
      if (!error.empty()) throw Failure{path + ": " + error};
      break;
    }
    case VideoKind::kJpeg:
      for (const std::string& path : options.videoFiles) {
        std::vector<uint8_t> file = ReadInput(path);
        const auto size = JpegSize(file, &error);
        if (!size) throw Failure{path + ": " + error};
        units.push_back({std::move(file), true, *size});
      }
      break;
  }
  return units;
}

uint8_t DefaultType(VideoKind kind, bool key) {
  switch (kind) {
    case VideoKind::kH264: return key ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P;
    case VideoKind::kMpeg4: return key ? FRAME_TYPE_MPEG4_I : FRAME_TYPE_MPEG4_P;
    default: return FRAME_TYPE_JPEG;
  }
}

std::vector<TimedRecord> VideoRecords(const VyxmuxOptions& options) {
  std::vector<VideoUnit> units = ReadVideo(options);
  if (options.timesUsec && options.timesUsec->size() != units.size()) {
    throw Failure{"--times gives " + std::to_string(options.timesUsec->size()) + " times for " +
                  std::to_string(units.size()) + " video frames"};
  }
  std::vector<TimedRecord> records;
  for (size_t i = 0; i < units.size(); ++i) {
    VideoUnit& unit = units[i];
    TimedRecord record;
    record.type = unit.key ? options.keyType.value_or(DefaultType(options.videoKind, true))
                           : options.otherType.value_or(DefaultType(options.videoKind, false));
    const PictureSize size = options.size.value_or(unit.size);
    if (!options.size && (size.width == 0 || size.height == 0)) {
      throw Failure{options.videoFiles.front() + ": frame " + std::to_string(i) +
                    " has no picture size in the stream; give --size"};
    }
    record.width = size.width;
    record.height = size.height;
    record.offsetUsec = options.timesUsec ? (*options.timesUsec)[i] : OffsetUsec(i, options.fps);
    record.payload = std::move(unit.bytes);
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<TimedRecord> AudioRecords(const AudioInput& input) {
  std::string error;
  std::vector<AudioChunk> chunks =
      ChunkAudio(input.type, ReadInput(input.path), input.chunkBytes, input.bytesPerSecond, error);
  if (!error.empty()) throw Failure{input.path + ": " + error};
  std::vector<TimedRecord> records;
  for (AudioChunk& chunk : chunks) {
    TimedRecord record;
    record.type = input.type;
    record.offsetUsec = chunk.offsetUsec;
    record.payload = std::move(chunk.bytes);
    records.push_back(std::move(record));
  }
  return records;
}

int Run(const VyxmuxOptions& options) {
  const std::vector<TimedRecord> video = VideoRecords(options);
  std::vector<std::vector<TimedRecord>> audio;
  size_t audioCount = 0;
  for (const AudioInput& input : options.audio) {
    audio.push_back(AudioRecords(input));
    audioCount += audio.back().size();
  }
  std::string error;
  if (!MuxArchive(options.output, video, audio, options.fields, error)) throw Failure{error};
  std::printf("vyxmux: wrote %zu records (%zu video, %zu audio) to %s\n", video.size() + audioCount,
              video.size(), audioCount, options.output.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseVyxmuxOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "vyxmux: %s\n(see vyxmux --help)\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(kVyxmuxUsage, stdout);
    return 0;
  }
  try {
    return Run(*options);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "vyxmux: %s\n", failure.message.c_str());
    return 1;
  }
}
