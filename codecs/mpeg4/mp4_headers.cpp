#include "codecs/mpeg4/mp4_headers.h"

#include "codecs/mpeg4/mp4_decoder.h"
#include "codecs/mpeg4/mp4_tables.h"

namespace {

bool Marker(Mp4BitReader& r) { return r.ReadBit(); }

// Up to 64 values in zig-zag order; a 0 ends the list, and the last value
// read fills the rest.
void ReadMatrix(Mp4BitReader& r, std::array<uint8_t, 64>& matrix) {
  uint8_t last = 0;
  int i = 0;
  for (; i < 64; ++i) {
    const uint8_t v = static_cast<uint8_t>(r.Read(8));
    if (v == 0) break;
    last = v;
    matrix[mp4_tables::kZigzag[size_t(i)]] = v;
  }
  // A first value of 0 loads nothing usable: keep a weight that cannot
  // divide by zero anywhere.
  if (last == 0) last = 1;
  for (; i < 64; ++i) matrix[mp4_tables::kZigzag[size_t(i)]] = last;
}

}  // namespace

Mp4VolHeader DefaultMp4Vol(uint32_t width, uint32_t height) {
  Mp4VolHeader vol;
  vol.width = width;
  vol.height = height;
  vol.interlaced = height > 288 ? 1 : 0;
  vol.intraMatrix = mp4_tables::kDefaultIntraMatrix;
  vol.interMatrix = mp4_tables::kDefaultInterMatrix;
  return vol;
}

int Mp4TimeIncrementBits(uint32_t resolution) {
  int bits = 1;
  while (bits < 32 && (uint64_t(1) << bits) < resolution) ++bits;
  return bits;
}

int32_t ParseMp4VisualObjectSequence(Mp4BitReader& r) {
  if (r.Peek(32) != 0x000001B0) return MP4DEC_ERR_NO_SEQUENCE;
  r.Skip(32);
  r.Skip(8);  // profile_and_level_indication
  r.NextStartCode();
  if (r.Peek(32) != 0x000001B5) return MP4DEC_ERR_NO_SEQUENCE;
  return ParseMp4VisualObject(r);
}

int32_t ParseMp4VisualObject(Mp4BitReader& r) {
  if (r.Peek(32) != 0x000001B5) return MP4DEC_ERR_NO_SEQUENCE;
  r.Skip(32);
  if (r.ReadBit()) r.Skip(7);  // visual_object_verid, visual_object_priority
  if (r.Read(4) != 1) return MP4DEC_ERR_NOT_VIDEO;
  if (r.ReadBit()) {  // video_signal_type
    r.Skip(4);        // video_format, video_range
    if (r.ReadBit()) r.Skip(24);
  }
  return MP4DEC_OK;
}

int32_t ParseMp4Vol(Mp4BitReader& r, uint32_t width, uint32_t height, Mp4VolHeader& vol) {
  if ((r.Peek(32) & ~0x1Fu) == 0x00000100) {
    r.Skip(32);
    r.NextStartCode();
  }
  if ((r.Peek(32) & ~0xFu) != 0x00000120) return MP4DEC_ERR_NO_VOL;
  r.Skip(32);
  r.Skip(1);  // random_accessible_vol
  r.Skip(8);  // video_object_type_indication
  vol.verid = 1;
  if (r.ReadBit()) {
    vol.verid = r.Read(4);
    r.Skip(3);  // priority
  }
  if (r.Read(4) == 15) r.Skip(16);  // extended pixel aspect ratio
  if (r.ReadBit()) {                // vol_control_parameters
    r.Skip(2);                      // chroma_format
    r.Skip(1);                      // low_delay
    if (r.ReadBit()) r.Skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);
  }
  if (r.Read(2) != 0) return MP4DEC_ERR_SHAPE;
  Marker(r);
  vol.vopTimeIncrementResolution = r.Read(16);
  Marker(r);
  if (r.ReadBit()) r.Skip(Mp4TimeIncrementBits(vol.vopTimeIncrementResolution));
  Marker(r);
  vol.width = r.Read(13);
  Marker(r);
  vol.height = r.Read(13);
  Marker(r);
  if (vol.width != width || vol.height != height) return MP4DEC_ERR_SIZE;
  vol.interlaced = r.Read(1);
  const bool obmcDisable = r.ReadBit();
  const uint32_t spriteEnable = r.Read(vol.verid == 1 ? 1 : 2);
  // Sprites carry warping fields this decoder does not read, so everything
  // after them would be misread; OBMC and other bit depths it cannot decode.
  if (!obmcDisable || spriteEnable != 0) return MP4DEC_ERR_UNSUPPORTED_VOL;
  if (r.ReadBit()) return MP4DEC_ERR_UNSUPPORTED_VOL;  // not_8_bit
  vol.quantPrecision = 5;
  vol.quantType = r.Read(1);
  // Each VOL starts from the default matrices; a stream's loaded matrix
  // never outlives the VOL that loaded it.
  vol.intraMatrix = mp4_tables::kDefaultIntraMatrix;
  vol.interMatrix = mp4_tables::kDefaultInterMatrix;
  if (vol.quantType) {
    if (r.ReadBit()) ReadMatrix(r, vol.intraMatrix);
    if (r.ReadBit()) ReadMatrix(r, vol.interMatrix);
  }
  vol.quarterSample = vol.verid != 1 ? r.Read(1) : 0;
  if (!r.ReadBit()) return MP4DEC_ERR_COMPLEXITY;  // complexity_estimation_disable
  r.Skip(1);                                       // resync_marker_disable
  if (r.ReadBit()) return MP4DEC_ERR_DATA_PARTITIONED;
  if (vol.verid != 1) {
    if (r.ReadBit()) return MP4DEC_ERR_UNSUPPORTED_VOL;  // newpred_enable
    if (r.ReadBit()) return MP4DEC_ERR_UNSUPPORTED_VOL;  // reduced_resolution_vop_enable
  }
  if (r.ReadBit()) return MP4DEC_ERR_SCALABILITY;
  r.NextStartCode();
  if (r.Peek(32) == 0x000001B2) return MP4DEC_ERR_VOL_USER_DATA;
  return MP4DEC_OK;
}

int32_t ParseMp4VopHeader(Mp4BitReader& r, const Mp4VolHeader& vol, Mp4VopHeader& vop) {
  if (r.Peek(32) != 0x000001B6) return MP4DEC_ERR_NO_VOP;
  r.Skip(32);
  vop = Mp4VopHeader{};
  vop.codingType = r.Read(2);
  while (r.ReadBit()) {  // modulo_time_base
    if (r.AtEnd()) return MP4DEC_ERR_NO_VOP;
  }
  Marker(r);
  r.Skip(Mp4TimeIncrementBits(vol.vopTimeIncrementResolution));
  Marker(r);
  vop.coded = r.ReadBit();
  if (r.Overrun()) return MP4DEC_ERR_NO_VOP;  // a header cut short
  if (!vop.coded) return MP4DEC_OK;
  if (vop.codingType == 2) return MP4DEC_B_VOP_SKIPPED;
  if (vop.codingType == 3) return MP4DEC_ERR_UNSUPPORTED_VOP;
  if (vop.codingType == 1) vop.roundingType = r.Read(1);
  vop.intraDcVlcThreshold = r.Read(3);
  if (vol.interlaced) {
    vop.topFieldFirst = r.ReadBit();
    vop.alternateVerticalScan = r.ReadBit();
  }
  vop.quant = r.Read(int(vol.quantPrecision));
  if (vop.quant == 0) return MP4DEC_ERR_UNSUPPORTED_VOP;
  if (vop.codingType != 0) {
    vop.fcode = r.Read(3);
    if (vop.fcode == 0) return MP4DEC_ERR_UNSUPPORTED_VOP;
  }
  if (r.Overrun()) return MP4DEC_ERR_NO_VOP;
  return MP4DEC_OK;
}
