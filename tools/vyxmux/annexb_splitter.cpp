#include "tools/vyxmux/annexb_splitter.h"

#include <optional>

#include "tools/vyxmux/annexb_nal_units.h"
#include "tools/vyxmux/h264_parameter_sets.h"
#include "tools/vyxmux/h264_slice_header.h"

namespace {

enum class NalRole {
  kStartsUnit,  // begins a new access unit when it follows a picture's slices
  kSlice,       // a slice that may begin a new primary coded picture
  kJoins,       // belongs to the access unit in progress
};

NalRole RoleOf(uint8_t nalUnitType) {
  switch (nalUnitType) {
    case 1: case 2: case 5:
      return NalRole::kSlice;
    case 6: case 7: case 8: case 9: case 14: case 15: case 16: case 17: case 18:
      return NalRole::kStartsUnit;
    default:  // data partitions B and C, end of sequence or stream, filler,
              // SPS extension, auxiliary and extension slices, reserved types
      return NalRole::kJoins;
  }
}

}  // namespace

std::vector<AccessUnit> SplitAnnexB(const std::vector<uint8_t>& stream, std::string* error) {
  std::string firstError;
  auto fault = [&](size_t offset, const std::string& what) {
    if (firstError.empty()) firstError = "byte " + std::to_string(offset) + ": " + what;
  };

  std::vector<AccessUnit> units;  // bytes filled in at the end
  H264ParameterSets sets;
  bool unitHasSlice = false;
  std::optional<size_t> pendingStart;  // a NAL unit that starts the next unit
  std::optional<H264SliceHeader> lastPrimary;

  const uint8_t* data = stream.data();
  for (const AnnexBNalUnit& nal : FindAnnexBNalUnits(data, stream.size())) {
    if (nal.nalSize == 0) continue;
    const uint8_t* bytes = data + nal.nalOffset;
    const uint8_t type = bytes[0] & 0x1f;
    const NalRole role = RoleOf(type);
    if (role == NalRole::kStartsUnit) {
      if (unitHasSlice && !pendingStart) pendingStart = nal.startCodeOffset;
      if (type == 7) {
        if (auto sps = ParseH264Sps(bytes + 1, nal.nalSize - 1)) {
          sets.sps[sps->id] = *sps;
        } else {
          fault(nal.nalOffset, "sequence parameter set is truncated or invalid");
        }
      } else if (type == 8) {
        if (auto pps = ParseH264Pps(bytes + 1, nal.nalSize - 1)) {
          sets.pps[pps->id] = *pps;
        } else {
          fault(nal.nalOffset, "picture parameter set is truncated or invalid");
        }
      }
      continue;
    }
    if (role != NalRole::kSlice) continue;

    std::string sliceError;
    const auto slice = ParseH264SliceHeader(bytes, nal.nalSize, sets, sliceError);
    if (!slice) fault(nal.nalOffset, sliceError);
    const bool primary = slice && slice->redundantPicCnt == 0;

    std::optional<size_t> newUnitAt;
    if (units.empty()) {
      newUnitAt = 0;
    } else if (pendingStart) {
      newUnitAt = pendingStart;
    } else if (unitHasSlice && primary && lastPrimary &&
               StartsNewPrimaryPicture(*lastPrimary, *slice)) {
      newUnitAt = nal.startCodeOffset;
    }
    pendingStart.reset();
    if (newUnitAt) {
      AccessUnit unit;
      unit.offset = *newUnitAt;
      if (slice) {
        unit.width = slice->width;
        unit.height = slice->height;
        unit.field = slice->fieldPic;
        unit.bottomField = slice->bottomField;
        unit.reference = slice->nalRefIdc != 0;
        unit.frameNum = slice->frameNum;
      }
      units.push_back(std::move(unit));
      lastPrimary.reset();
    }
    unitHasSlice = true;
    if (type == 5) units.back().idr = true;
    if (primary) lastPrimary = slice;
  }

  for (size_t i = 0; i < units.size(); ++i) {
    const size_t end = i + 1 < units.size() ? units[i + 1].offset : stream.size();
    units[i].bytes.assign(stream.begin() + static_cast<std::ptrdiff_t>(units[i].offset),
                          stream.begin() + static_cast<std::ptrdiff_t>(end));
  }
  if (units.empty()) firstError = "no access unit: the stream holds no coded slice";
  if (error) *error = firstError;
  return units;
}
