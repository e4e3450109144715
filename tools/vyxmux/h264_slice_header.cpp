#include "tools/vyxmux/h264_slice_header.h"

#include "tools/vyxmux/bit_reader.h"

std::optional<H264SliceHeader> ParseH264SliceHeader(const uint8_t* nal, size_t size,
                                                    const H264ParameterSets& sets,
                                                    std::string& error) {
  if (size < 2) {
    error = "truncated slice header";
    return std::nullopt;
  }
  H264SliceHeader slice;
  slice.nalRefIdc = static_cast<uint8_t>((nal[0] >> 5) & 3);
  slice.nalUnitType = static_cast<uint8_t>(nal[0] & 0x1f);
  BitReader bits(nal + 1, size - 1, BitReader::Mode::kRbsp);
  bits.ReadUe();  // first_mb_in_slice: slices of one picture come in any order
  const uint32_t sliceType = bits.ReadUe();
  slice.ppsId = bits.ReadUe();
  if (bits.overrun() || sliceType > 9 || slice.ppsId > 255) {
    error = "truncated or invalid slice header";
    return std::nullopt;
  }
  const auto& pps = sets.pps[slice.ppsId];
  if (!pps) {
    error = "slice refers to picture parameter set " + std::to_string(slice.ppsId) +
            ", which the stream has not defined";
    return std::nullopt;
  }
  const auto& sps = sets.sps[pps->spsId];
  if (!sps) {
    error = "picture parameter set " + std::to_string(pps->id) + " refers to sequence parameter set " +
            std::to_string(pps->spsId) + ", which the stream has not defined";
    return std::nullopt;
  }
  slice.width = sps->width;
  slice.height = sps->height;
  slice.picOrderCntType = sps->picOrderCntType;
  if (sps->separateColourPlane) bits.SkipBits(2);  // colour_plane_id
  slice.frameNum = bits.ReadBits(static_cast<int>(sps->log2MaxFrameNum));
  if (!sps->frameMbsOnly) {
    slice.fieldPic = bits.ReadFlag();
    if (slice.fieldPic) slice.bottomField = bits.ReadFlag();
  }
  if (slice.idr()) slice.idrPicId = bits.ReadUe();
  const bool framePicWithBottomOrder = pps->bottomFieldPicOrderInFramePresent && !slice.fieldPic;
  if (sps->picOrderCntType == 0) {
    slice.picOrderCntLsb = bits.ReadBits(static_cast<int>(sps->log2MaxPicOrderCntLsb));
    if (framePicWithBottomOrder) slice.deltaPicOrderCntBottom = bits.ReadSe();
  } else if (sps->picOrderCntType == 1 && !sps->deltaPicOrderAlwaysZero) {
    slice.deltaPicOrderCnt[0] = bits.ReadSe();
    if (framePicWithBottomOrder) slice.deltaPicOrderCnt[1] = bits.ReadSe();
  }
  if (pps->redundantPicCntPresent) slice.redundantPicCnt = bits.ReadUe();
  if (bits.overrun()) {
    error = "truncated slice header";
    return std::nullopt;
  }
  return slice;
}

bool StartsNewPrimaryPicture(const H264SliceHeader& previous, const H264SliceHeader& current) {
  if (previous.frameNum != current.frameNum || previous.ppsId != current.ppsId ||
      previous.fieldPic != current.fieldPic) {
    return true;
  }
  if (previous.fieldPic && previous.bottomField != current.bottomField) return true;
  if ((previous.nalRefIdc == 0) != (current.nalRefIdc == 0)) return true;
  if (previous.picOrderCntType == 0 && current.picOrderCntType == 0 &&
      (previous.picOrderCntLsb != current.picOrderCntLsb ||
       previous.deltaPicOrderCntBottom != current.deltaPicOrderCntBottom)) {
    return true;
  }
  if (previous.picOrderCntType == 1 && current.picOrderCntType == 1 &&
      (previous.deltaPicOrderCnt[0] != current.deltaPicOrderCnt[0] ||
       previous.deltaPicOrderCnt[1] != current.deltaPicOrderCnt[1])) {
    return true;
  }
  if (previous.idr() != current.idr()) return true;
  return previous.idr() && current.idr() && previous.idrPicId != current.idrPicId;
}
