// h264rewrite --mode MODE IN OUT: re-serialises the parameter sets and slice
// headers of a CAVLC I/P H.264 stream with one change, to make test streams
// an encoder does not.  Modes: idr-to-i (IDR pictures after the first become
// non-IDR I pictures, frame_num counting on), no-output-of-prior-pics (set
// on every IDR picture after the first), no-ref-frames-level10
// (max_num_ref_frames 0 at level 1.0), explicit-weights (weighted_pred_flag
// set, every P slice with weights of its own, saturating and negative ones
// among them), frame-num-gaps (frame_num steps by 3 with gaps allowed, each
// P list reordered to the previous picture), non-reference-thirds (every
// third picture non-reference, frame_num in 4 bits so that it wraps),
// poc-type-0 (picture order count type 2 rewritten to type 0),
// long-term-marking (operation 4 once, then operations 1 and 6 on every
// fourth reference picture).
//
// Interlaced streams from libx264 Baseline encodes (picture order count
// type 2, no B pictures):
//   h264rewrite --mode field-pairs [OPTIONS] HALF_HEIGHT_IN OUT
//     the pictures, two by two, become the two fields of a frame;
//   h264rewrite --mode interlaced-frames [OPTIONS] IN OUT
//     frame pictures of an interlaced sequence, decoding as the input does
//     (the height in macroblocks must be even);
//   h264rewrite --mode mixed [OPTIONS] FULL_HEIGHT_IN HALF_HEIGHT_IN OUT
//     two frame pictures from the first encode, then two field pairs from
//     the second, and so on.
// OPTIONS: --bottom-first (field pairs begin with the bottom field),
// --poc-type-0 (picture order count type 0 instead of type 2),
// --long-term-marking (field pairs: every fourth frame a long-term field
// pair, marked by operations in field units), --explicit-weights (a weight
// set for every reference field or frame).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/h264rewrite/interlacer.h"
#include "tools/h264rewrite/rewriter.h"

namespace {

constexpr char kUsage[] =
    "usage: h264rewrite --mode idr-to-i|no-output-of-prior-pics|no-ref-frames-level10|explicit-weights|"
    "frame-num-gaps|non-reference-thirds|poc-type-0|long-term-marking IN OUT\n"
    "       h264rewrite --mode field-pairs|interlaced-frames [OPTIONS] IN OUT\n"
    "       h264rewrite --mode mixed [OPTIONS] FULL_HEIGHT_IN HALF_HEIGHT_IN OUT\n"
    "OPTIONS: --bottom-first --poc-type-0 --long-term-marking --explicit-weights\n";

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "h264rewrite: cannot read %s\n", path.c_str());
    return std::nullopt;
  }
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<h264rewrite::InterlacedLayout> LayoutNamed(const std::string& name) {
  if (name == "field-pairs") return h264rewrite::InterlacedLayout::kFieldPairs;
  if (name == "interlaced-frames") return h264rewrite::InterlacedLayout::kInterlacedFrames;
  if (name == "mixed") return h264rewrite::InterlacedLayout::kMixed;
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || std::string(argv[1]) != "--mode") {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto mode = h264rewrite::ModeNamed(argv[2]);
  const auto layout = LayoutNamed(argv[2]);
  if (!mode && !layout) {
    std::fprintf(stderr, "h264rewrite: unknown mode %s\n", argv[2]);
    return 2;
  }
  std::vector<std::string> files;
  h264rewrite::InterlaceOptions options;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--bottom-first" && layout) {
      options.bottomFirst = true;
    } else if (arg == "--poc-type-0" && layout) {
      options.pocType0 = true;
    } else if (arg == "--long-term-marking" && layout) {
      options.longTermMarking = true;
    } else if (arg == "--explicit-weights" && layout) {
      options.explicitWeights = true;
    } else if (arg.rfind("--", 0) == 0) {
      std::fputs(kUsage, stderr);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  const size_t inputs = layout == h264rewrite::InterlacedLayout::kMixed ? 2 : 1;
  if (files.size() != inputs + 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::vector<std::vector<uint8_t>> streams;
  for (size_t i = 0; i < inputs; ++i) {
    auto stream = ReadFile(files[i]);
    if (!stream) return 1;
    streams.push_back(std::move(*stream));
  }
  std::string error;
  std::optional<std::vector<uint8_t>> rewritten;
  if (mode) {
    rewritten = h264rewrite::Rewrite(streams[0], *mode, error);
  } else {
    options.layout = *layout;
    const std::vector<uint8_t> none;
    const bool fieldsOnly = *layout == h264rewrite::InterlacedLayout::kFieldPairs;
    const std::vector<uint8_t>& frames = fieldsOnly ? none : streams[0];
    const std::vector<uint8_t>& fields = fieldsOnly ? streams[0] : inputs == 2 ? streams[1] : none;
    rewritten = h264rewrite::Interlace(frames, fields, options, error);
  }
  if (!rewritten) {
    std::fprintf(stderr, "h264rewrite: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(files.back(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(rewritten->data()), static_cast<std::streamsize>(rewritten->size()));
  return out ? 0 : 1;
}
