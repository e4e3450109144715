#pragma once
// The deinterlacer's arithmetic written out on whole frames, apart from the
// library's code, as the oracle its output is compared with.
#include <cstdint>
#include <vector>

namespace avc_test {

// A 4:2:0 picture with unpadded rows.
struct YuvFrame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> y, cb, cr;
};

class DeinterlaceModel {
 public:
  // For frames of this size; previous luma and counters start at zero.
  DeinterlaceModel(int width, int height);
  // A frame-coded picture of an interlaced sequence: shown as it is.
  YuvFrame FramePicture(const YuvFrame& in);
  // A field-coded picture: the frame holding both fields.
  YuvFrame FieldPicture(const YuvFrame& in);

 private:
  int width_, height_;
  std::vector<uint8_t> previous_;
  std::vector<uint8_t> counters_;
};

}  // namespace avc_test
