#include "tests/codecs/h264/field_streams.h"

#include "tests/codecs/h264/avc_test_support.h"
#include "tests/support/test_support.h"

namespace avc_test {

const std::vector<FieldStream>& FieldStreams() {
  static const std::vector<FieldStream> streams = {
      {"pairs_top_cif", "field-pairs", "", 352, 288, 8, "ref=3:partitions=all"},
      {"pairs_bottom_cif", "field-pairs", "--bottom-first", 352, 288, 8, "ref=3:partitions=all:slices=3"},
      // IDR pictures every fifth: as first fields they stay, as second
      // fields they become I fields.
      {"pairs_idr_every_fifth_cif", "field-pairs", "", 352, 288, 12, "ref=2:keyint=5:min-keyint=5:scenecut=0"},
      {"pairs_top_576", "field-pairs", "", 720, 576, 4, "ref=2:deblock=2,-1"},
      {"pairs_bottom_576", "field-pairs", "--bottom-first", 720, 576, 4, "ref=2"},
      {"pairs_top_1080", "field-pairs", "", 1920, 1080, 3, "ref=2"},
      {"pairs_bottom_1080", "field-pairs", "--bottom-first", 1920, 1080, 3, "ref=2"},
      // 4 per frame in an 8-bit lsb: wraps after 64 frames.
      {"pairs_poc0_top_cif", "field-pairs", "--poc-type-0", 352, 288, 70, "ref=2", "mandelbrot"},
      {"pairs_poc0_bottom_576", "field-pairs", "--poc-type-0 --bottom-first", 720, 576, 4, "ref=3:no-deblock=1"},
      {"pairs_long_term_cif", "field-pairs", "--long-term-marking", 352, 288, 20, "ref=2"},
      {"pairs_long_term_poc0_bottom_cif", "field-pairs", "--long-term-marking --poc-type-0 --bottom-first", 352, 288,
       12, "ref=1"},
      {"pairs_weights_cif", "field-pairs", "--explicit-weights", 352, 288, 8, "ref=3:partitions=all"},
      {"frames_cif", "interlaced-frames", "", 352, 288, 8, "ref=3:partitions=all"},
      {"frames_1080", "interlaced-frames", "", 1920, 1080, 3, "ref=2"},
      {"mixed_cif", "mixed", "", 352, 288, 10, "ref=3:partitions=all:slices=2"},
      {"mixed_poc0_weights_bottom_cif", "mixed", "--poc-type-0 --explicit-weights --bottom-first", 352, 288, 10,
       "ref=2"},
  };
  return streams;
}

std::optional<std::filesystem::path> MakeFieldStream(const FieldStream& s, const std::filesystem::path& dir) {
  const std::string mode = s.mode;
  const std::filesystem::path full = dir / (std::string(s.name) + "_full.264");
  const std::filesystem::path half = dir / (std::string(s.name) + "_half.264");
  const std::filesystem::path out = dir / (std::string(s.name) + ".264");
  std::string inputs;
  if (mode != "field-pairs") {
    if (!MakeInterStream(full, s.source, s.width, s.height, s.frames, s.x264Params)) return std::nullopt;
    inputs += " '" + full.string() + "'";
  }
  if (mode != "interlaced-frames") {
    if (!MakeInterStream(half, s.source, s.width, s.height / 2, 2 * s.frames, s.x264Params)) return std::nullopt;
    inputs += " '" + half.string() + "'";
  }
  const std::string command = "'" + testing_support::BuiltTool("tools/h264rewrite/h264rewrite").string() +
                              "' --mode " + mode + " " + s.options + inputs + " '" + out.string() + "'";
  if (testing_support::Run(command) != 0) return std::nullopt;
  return out;
}

bool MakeMbaffStream(const std::filesystem::path& out, int width, int height, int frames) {
  return MakeInterStream(out, "testsrc2", width, height, frames, "interlaced=1", "-profile:v main");
}

}  // namespace avc_test
