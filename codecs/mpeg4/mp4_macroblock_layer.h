#pragma once
// The macroblock layer of one VOP, shared by its three parts: the
// macroblock loop and headers (mp4_vop_decoder.cpp), motion vectors and
// prediction (mp4_vop_motion.cpp), and texture: coefficients, intra
// prediction and inverse quantisation (mp4_vop_texture.cpp).
#include <cstddef>
#include <cstdint>

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/mpeg4/mp4_vop_decoder.h"

namespace mp4_detail {

// Faults inside the layer; each ends the VOP, which then reports 1.
constexpr int32_t kFail = MP4DEC_MACROBLOCK_ERROR;
constexpr int32_t kPositionPast63 = -4;   // a coefficient event beyond the block
constexpr int32_t kVectorOutside = -5;    // a block further outside the picture than allowed

struct Vector {
  int x = 0, y = 0;
};

class Mp4MacroblockLayer {
 public:
  explicit Mp4MacroblockLayer(const Mp4VopContext& c)
      : c_(c), r_(c.reader), vol_(c.vol), vop_(c.vop), qp_(int(c.vop.quant)),
        quarter_(c.vol.quarterSample != 0), fcode_(int(c.vop.fcode)) {}

  int32_t Run();

 private:
  Mp4MbInfo& Mb(int x, int y) { return c_.mbs[size_t(y) * size_t(c_.mbWidth) + size_t(x)]; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < c_.mbWidth && y < c_.mbHeight; }

  int32_t Macroblock(int mbx, int mby);
  void NotCoded(int mbx, int mby);
  void Start(Mp4MbInfo& mb, int type);
  enum class Marker { kNone, kStartCode, kResync, kEnd };
  Marker MarkerAfterStuffing() const;

  // Vectors.
  Vector Predictor(int mbx, int mby, int block);
  bool ReadDifference(int& dx, int& dy);
  int Wrap(int v) const;

  // Prediction into the current picture.
  int32_t PredictFrame(int mbx, int mby, const Mp4MbInfo& mb, bool fourVectors);
  int32_t PredictField(int mbx, int mby, const Vector field[2], const int select[2]);
  int32_t PredictLuma(int x, int y, int w, int h, int vx, int vy, uint8_t* dst, ptrdiff_t dstStride,
                      const uint8_t* refOrigin, ptrdiff_t refStride, int rowStep, int refRowOffset,
                      bool clampToPicture);
  int32_t PredictChroma(int x, int y, int h, int cvx, int cvy, int rowStep, int dstRowOffset, int refRowOffset,
                        bool clampToPicture);

  // Texture.
  struct Coefficients {
    int count = 0;
    uint8_t position[64];  // raster position
    int32_t level[64];
  };
  int32_t ReadCoefficients(int start, bool intra, const uint8_t* scan, Coefficients& out);
  int32_t IntraBlock(int mbx, int mby, int block, bool coded, bool acPred, int16_t* out);
  int32_t InterBlock(int16_t* out);
  void DequantiseIntra(const int32_t* levels, int position, int16_t* out);
  uint8_t* BlockDestination(int mbx, int mby, int block, bool fieldDct, ptrdiff_t& stride);

  const Mp4VopContext& c_;
  Mp4BitReader& r_;
  const Mp4VolHeader& vol_;
  const Mp4VopHeader& vop_;
  int qp_;
  bool quarter_;
  int fcode_;
};

}  // namespace mp4_detail
