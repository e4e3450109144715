#pragma once
// The leading slice header fields that tell whether a slice begins a new
// primary coded picture.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "tools/vyxmux/h264_parameter_sets.h"

struct H264SliceHeader {
  uint8_t nalUnitType = 0;
  uint8_t nalRefIdc = 0;
  uint32_t ppsId = 0;
  uint32_t frameNum = 0;
  bool fieldPic = false;
  bool bottomField = false;
  uint32_t idrPicId = 0;
  uint32_t picOrderCntType = 0;
  uint32_t picOrderCntLsb = 0;
  int32_t deltaPicOrderCntBottom = 0;
  int32_t deltaPicOrderCnt[2] = {0, 0};
  uint32_t redundantPicCnt = 0;
  // Picture size of the active sequence parameter set.
  uint16_t width = 0;
  uint16_t height = 0;

  bool idr() const { return nalUnitType == 5; }
};

// `nal` is a whole slice NAL unit (types 1, 2 or 5) from its header byte on.
// nullopt with `error` set when the header is truncated or refers to a
// parameter set not seen yet.
std::optional<H264SliceHeader> ParseH264SliceHeader(const uint8_t* nal, size_t size,
                                                    const H264ParameterSets& sets,
                                                    std::string& error);

// Whether primary slice `current` belongs to another primary coded picture
// than primary slice `previous`.  (Redundant slices, redundantPicCnt > 0,
// always join the picture in progress.)
bool StartsNewPrimaryPicture(const H264SliceHeader& previous, const H264SliceHeader& current);
