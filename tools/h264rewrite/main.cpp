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
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/h264rewrite/rewriter.h"

int main(int argc, char** argv) {
  if (argc != 5 || std::string(argv[1]) != "--mode") {
    std::fprintf(stderr, "usage: h264rewrite --mode idr-to-i|no-output-of-prior-pics|no-ref-frames-level10|explicit-weights|frame-num-gaps|non-reference-thirds|poc-type-0|long-term-marking IN OUT\n");
    return 2;
  }
  const auto mode = h264rewrite::ModeNamed(argv[2]);
  if (!mode) {
    std::fprintf(stderr, "h264rewrite: unknown mode %s\n", argv[2]);
    return 2;
  }
  std::ifstream in(argv[3], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "h264rewrite: cannot read %s\n", argv[3]);
    return 1;
  }
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  const auto rewritten = h264rewrite::Rewrite(stream, *mode, error);
  if (!rewritten) {
    std::fprintf(stderr, "h264rewrite: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(argv[4], std::ios::binary);
  out.write(reinterpret_cast<const char*>(rewritten->data()), static_cast<std::streamsize>(rewritten->size()));
  return out ? 0 : 1;
}
