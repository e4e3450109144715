#pragma once
// Interlaced H.264 streams made at test time: libx264 Baseline encodes
// turned into field pairs, frame pictures of an interlaced sequence or both
// mixed by tools/h264rewrite.  Field slices keep the slice data of the
// progressive encode, so their pictures look scrambled; FFmpeg's decode of
// the same file is the reference.
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace avc_test {

struct FieldStream {
  const char* name;     // usable as a test name
  const char* mode;     // h264rewrite's: field-pairs, interlaced-frames or mixed
  const char* options;  // h264rewrite's further options ("" for none)
  int width, height;    // of a frame
  int frames;           // pictures FFmpeg outputs: a field pair is one
  const char* x264Params;  // for the encodes, beside CAVLC without B pictures
  const char* source = "testsrc2";  // lavfi source of the encodes
};

inline void PrintTo(const FieldStream& stream, std::ostream* out) { *out << stream.name; }

// Every kind of interlaced stream the library decodes as FFmpeg does: field
// pairs top and bottom first at 352x288, 720x576 and 1920x1080 (cropped
// from 1088), picture order count types 2 and 0 (its lsb wrapping), long-term
// field pairs, explicit weights per reference field, frame pictures of an
// interlaced sequence, and frames mixed with field pairs.
const std::vector<FieldStream>& FieldStreams();

// Encodes and rewrites `stream` into `dir` (the encodes land there too);
// the rewritten file, or nullopt when ffmpeg or the rewriter failed.
std::optional<std::filesystem::path> MakeFieldStream(const FieldStream& stream, const std::filesystem::path& dir);

// libx264's own interlaced coding (macroblock-adaptive frame/field, CAVLC,
// Main profile): a stream the library refuses.
bool MakeMbaffStream(const std::filesystem::path& out, int width, int height, int frames);

}  // namespace avc_test
