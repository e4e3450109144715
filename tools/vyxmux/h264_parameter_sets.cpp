#include "tools/vyxmux/h264_parameter_sets.h"

#include "tools/vyxmux/bit_reader.h"

namespace {

// Profiles whose SPS carries chroma format, bit depths and scaling lists.
bool HasChromaFormatInfo(uint32_t profileIdc) {
  switch (profileIdc) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86:
    case 118: case 128: case 138: case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

// False when a delta is out of range.
bool SkipScalingList(BitReader& bits, int size) {
  int lastScale = 8;
  int nextScale = 8;
  for (int j = 0; j < size && !bits.overrun(); ++j) {
    if (nextScale != 0) {
      const int32_t delta = bits.ReadSe();
      if (delta < -128 || delta > 127) return false;
      nextScale = (lastScale + delta + 256) % 256;
    }
    lastScale = nextScale == 0 ? lastScale : nextScale;
  }
  return true;
}

}  // namespace

std::optional<H264Sps> ParseH264Sps(const uint8_t* rbsp, size_t size) {
  BitReader bits(rbsp, size, BitReader::Mode::kRbsp);
  H264Sps sps;
  const uint32_t profileIdc = bits.ReadBits(8);
  bits.SkipBits(16);  // constraint flags, level_idc
  sps.id = bits.ReadUe();
  if (sps.id > 31) return std::nullopt;
  if (HasChromaFormatInfo(profileIdc)) {
    sps.chromaFormatIdc = bits.ReadUe();
    if (sps.chromaFormatIdc > 3) return std::nullopt;
    if (sps.chromaFormatIdc == 3) sps.separateColourPlane = bits.ReadFlag();
    if (bits.ReadUe() > 6 || bits.ReadUe() > 6) return std::nullopt;  // bit depths
    bits.SkipBits(1);  // qpprime_y_zero_transform_bypass_flag
    if (bits.ReadFlag()) {  // seq_scaling_matrix_present_flag
      const int lists = sps.chromaFormatIdc == 3 ? 12 : 8;
      for (int i = 0; i < lists && !bits.overrun(); ++i) {
        if (bits.ReadFlag() && !SkipScalingList(bits, i < 6 ? 16 : 64)) return std::nullopt;
      }
    }
  }
  const uint32_t log2MaxFrameNumMinus4 = bits.ReadUe();
  if (log2MaxFrameNumMinus4 > 12) return std::nullopt;
  sps.log2MaxFrameNum = log2MaxFrameNumMinus4 + 4;
  sps.picOrderCntType = bits.ReadUe();
  if (sps.picOrderCntType == 0) {
    const uint32_t log2MaxLsbMinus4 = bits.ReadUe();
    if (log2MaxLsbMinus4 > 12) return std::nullopt;
    sps.log2MaxPicOrderCntLsb = log2MaxLsbMinus4 + 4;
  } else if (sps.picOrderCntType == 1) {
    sps.deltaPicOrderAlwaysZero = bits.ReadFlag();
    bits.ReadSe();  // offset_for_non_ref_pic
    bits.ReadSe();  // offset_for_top_to_bottom_field
    const uint32_t cycle = bits.ReadUe();
    if (cycle > 255) return std::nullopt;
    for (uint32_t i = 0; i < cycle && !bits.overrun(); ++i) bits.ReadSe();
  } else if (sps.picOrderCntType != 2) {
    return std::nullopt;
  }
  bits.ReadUe();      // max_num_ref_frames
  bits.SkipBits(1);   // gaps_in_frame_num_value_allowed_flag
  const uint64_t widthInMbs = uint64_t{bits.ReadUe()} + 1;
  const uint64_t heightInMapUnits = uint64_t{bits.ReadUe()} + 1;
  sps.frameMbsOnly = bits.ReadFlag();
  if (!sps.frameMbsOnly) bits.SkipBits(1);  // mb_adaptive_frame_field_flag
  bits.SkipBits(1);   // direct_8x8_inference_flag
  uint64_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
  if (bits.ReadFlag()) {
    cropLeft = bits.ReadUe();
    cropRight = bits.ReadUe();
    cropTop = bits.ReadUe();
    cropBottom = bits.ReadUe();
  }
  // The VUI that may follow changes nothing here.
  if (bits.overrun()) return std::nullopt;

  const uint64_t chromaArrayType = sps.separateColourPlane ? 0 : sps.chromaFormatIdc;
  const uint64_t subWidthC = chromaArrayType == 1 || chromaArrayType == 2 ? 2 : 1;
  const uint64_t subHeightC = chromaArrayType == 1 ? 2 : 1;
  const uint64_t frameHeightFactor = sps.frameMbsOnly ? 1 : 2;
  const uint64_t cropUnitX = chromaArrayType == 0 ? 1 : subWidthC;
  const uint64_t cropUnitY = (chromaArrayType == 0 ? 1 : subHeightC) * frameHeightFactor;
  const uint64_t fullWidth = widthInMbs * 16;
  const uint64_t fullHeight = heightInMapUnits * 16 * frameHeightFactor;
  const uint64_t cropX = cropUnitX * (cropLeft + cropRight);
  const uint64_t cropY = cropUnitY * (cropTop + cropBottom);
  if (fullWidth > UINT16_MAX || fullHeight > UINT16_MAX || cropX >= fullWidth ||
      cropY >= fullHeight) {
    return std::nullopt;
  }
  sps.width = static_cast<uint16_t>(fullWidth - cropX);
  sps.height = static_cast<uint16_t>(fullHeight - cropY);
  return sps;
}

std::optional<H264Pps> ParseH264Pps(const uint8_t* rbsp, size_t size) {
  BitReader bits(rbsp, size, BitReader::Mode::kRbsp);
  H264Pps pps;
  pps.id = bits.ReadUe();
  pps.spsId = bits.ReadUe();
  if (pps.id > 255 || pps.spsId > 31) return std::nullopt;
  bits.SkipBits(1);  // entropy_coding_mode_flag
  pps.bottomFieldPicOrderInFramePresent = bits.ReadFlag();
  const uint32_t sliceGroupsMinus1 = bits.ReadUe();
  if (sliceGroupsMinus1 > 7) return std::nullopt;
  if (sliceGroupsMinus1 > 0) {
    const uint32_t mapType = bits.ReadUe();
    if (mapType == 0) {
      for (uint32_t i = 0; i <= sliceGroupsMinus1; ++i) bits.ReadUe();  // run_length_minus1
    } else if (mapType == 2) {
      for (uint32_t i = 0; i < sliceGroupsMinus1; ++i) {
        bits.ReadUe();  // top_left
        bits.ReadUe();  // bottom_right
      }
    } else if (mapType >= 3 && mapType <= 5) {
      bits.SkipBits(1);  // slice_group_change_direction_flag
      bits.ReadUe();     // slice_group_change_rate_minus1
    } else if (mapType == 6) {
      const uint32_t mapUnits = bits.ReadUe();  // pic_size_in_map_units_minus1
      if (mapUnits > (1u << 20)) return std::nullopt;
      int idBits = 0;
      while ((1u << idBits) < sliceGroupsMinus1 + 1) ++idBits;
      for (uint32_t i = 0; i <= mapUnits && !bits.overrun(); ++i) bits.SkipBits(idBits);
    } else if (mapType > 6) {
      return std::nullopt;
    }
  }
  bits.ReadUe();     // num_ref_idx_l0_default_active_minus1
  bits.ReadUe();     // num_ref_idx_l1_default_active_minus1
  bits.SkipBits(3);  // weighted_pred_flag, weighted_bipred_idc
  bits.ReadSe();     // pic_init_qp_minus26
  bits.ReadSe();     // pic_init_qs_minus26
  bits.ReadSe();     // chroma_qp_index_offset
  bits.SkipBits(2);  // deblocking_filter_control_present_flag, constrained_intra_pred_flag
  pps.redundantPicCntPresent = bits.ReadFlag();
  if (bits.overrun()) return std::nullopt;
  return pps;
}
