#pragma once
// The macroblock layer of one VOP: headers, motion vectors and prediction,
// intra DC/AC prediction, coefficient decoding, inverse quantisation and
// reconstruction into the current picture.
#include <cstdint>
#include <vector>

#include "codecs/mpeg4/mp4_bit_reader.h"
#include "codecs/mpeg4/mp4_headers.h"
#include "codecs/mpeg4/mp4_kernel_set.h"
#include "codecs/mpeg4/mp4_picture.h"

// What a macroblock leaves for the prediction of later ones.
struct Mp4MbInfo {
  int32_t type = -1;  // -1 not coded, 0..4 as coded, 9..12 field-predicted inter
  int32_t qp = 1;
  int32_t mvx[4] = {}, mvy[4] = {};  // per luma block, for vector prediction
  // Per block: reconstructed DC, and the quantised first row (columns 1-7)
  // and first column (rows 1-7) after prediction.
  int32_t dc[6] = {};
  int32_t row[6][7] = {};
  int32_t col[6][7] = {};
};

struct Mp4VopContext {
  const Mp4VolHeader& vol;
  const Mp4VopHeader& vop;
  Mp4BitReader& reader;
  const Mp4Picture& reference;
  Mp4Picture& current;
  std::vector<Mp4MbInfo>& mbs;  // mbWidth x mbHeight
  int mbWidth;
  int mbHeight;
  const Mp4Kernels& kernels;
};

// Decodes every macroblock of the VOP whose header was just read.  Returns
// 0, 106 for a feature the decoder refuses, or 1 when the data is faulty or
// runs out; the current picture is then partly written.
int32_t DecodeMp4VopMacroblocks(const Mp4VopContext& context);
