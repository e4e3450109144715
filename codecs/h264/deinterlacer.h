#pragma once
// The output deinterlacer of decoders created with kAvcDecDeinterlace:
// pictures of interlaced sequences are rebuilt in the decoder's output copy
// buffer, the frame store is never changed.  Frame-coded pictures pass as
// they are and only age the stillness counters; field-coded pictures keep
// the top field and replace the bottom one, by the average of the current
// and the previous picture where the area has been still for some pictures
// and by edge-directed interpolation elsewhere.
#include <cstddef>
#include <cstdint>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/kernel_set.h"

namespace avc {

enum class DeinterlaceMode : uint8_t { kFrame = 1, kField = 2 };

// The previous luma and the stillness counters of a decoder: one buffer of
// a frame of the create size, zero at create, kept for the decoder's life.
struct DeinterlaceState {
  uint8_t* output = nullptr;    // Y, Cb and Cr of the create size
  uint8_t* previous = nullptr;  // the luma of the last picture through the stage, then the counters
  size_t lumaBytes = 0;         // of the create size
};

// Rewrites the picture's plane pointers to the deinterlaced copy.  The
// picture's height is the frame's for kFrame and a field's for kField, as
// the decoder returns them; both fields of the frame are read.  A picture
// larger than the create size is left as it is.
void DeinterlacePicture(const DeinterlaceState& state, const KernelSet& kernels, AvcDecPicture& picture,
                        DeinterlaceMode mode);

}  // namespace avc
