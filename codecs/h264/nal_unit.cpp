#include "codecs/h264/nal_unit.h"

#include "codecs/h264/avc_context.h"
#include "codecs/h264/deblocking.h"
#include "codecs/h264/error_codes.h"
#include "codecs/h264/ref_list.h"
#include "codecs/h264/slice_data.h"

namespace avc {

namespace {

bool IsNewPicture(const AvcDecContext& c, const SliceHeader& h) {
  const PreviousSlice& p = c.previous;
  const StoredPicture* current = const_cast<AvcDecContext&>(c).store.Current();
  if (!current) return true;
  if (h.firstMbInSlice == 0 && current->mbsDecoded == current->picSizeInMbs) return true;
  if (h.ppsId != p.ppsId || h.frameNum != p.frameNum || h.fieldPic != p.fieldPic) return true;
  if (h.fieldPic && p.fieldPic && h.bottomField != p.bottomField) return true;
  if ((h.nalRefIdc == 0) != (p.nalRefIdc == 0)) return true;
  if ((h.nalUnitType == 5) != (p.nalUnitType == 5)) return true;
  if (h.nalUnitType == 5 && p.nalUnitType == 5 && h.idrPicId != p.idrPicId) return true;
  if (c.activeSps.pocType == 0) {
    if (h.picOrderCntLsb != p.picOrderCntLsb || h.deltaPicOrderCntBottom != p.deltaPicOrderCntBottom) return true;
  } else if (c.activeSps.pocType == 1) {
    if (h.deltaPicOrderCnt[0] != p.deltaPicOrderCnt[0] || h.deltaPicOrderCnt[1] != p.deltaPicOrderCnt[1]) return true;
  }
  return false;
}

void KeepSliceValues(AvcDecContext& c) {
  const SliceHeader& h = c.slice;
  PreviousSlice& p = c.previous;
  p.ppsId = h.ppsId;
  p.nalRefIdc = h.nalRefIdc;
  p.frameNum = h.frameNum;
  p.nalUnitType = h.nalUnitType;
  p.idrPicId = h.idrPicId;
  p.fieldPic = h.fieldPic;
  p.bottomField = h.bottomField;
  p.picOrderCntLsb = h.picOrderCntLsb;
  p.deltaPicOrderCntBottom = h.deltaPicOrderCntBottom;
  p.deltaPicOrderCnt[0] = h.deltaPicOrderCnt[0];
  p.deltaPicOrderCnt[1] = h.deltaPicOrderCnt[1];
}

uint32_t DecodeSlice(AvcDecContext& c, uint32_t nalRefIdc, uint32_t nalUnitType) {
  if (c.state == StreamState::kPicParams && nalUnitType == 5) c.state = StreamState::kDecoding;
  if (c.state < StreamState::kPicParams) return kSliceBeforeParameters;
  SliceHeader& h = c.slice;
  h.nalRefIdc = nalRefIdc;
  h.nalUnitType = nalUnitType;
  if (const uint32_t e = ParseSliceHeader(c.reader, c.sps, c.pps, h)) return e;
  if (c.state < StreamState::kDecoding && h.sliceType != kSliceTypeI) return kSliceBeforeParameters;
  c.state = StreamState::kDecoding;

  const PicParamSet& pps = c.pps[h.ppsId];
  const SeqParamSet& sps = c.sps[pps.spsId];
  if (!c.spsActive || c.activeSps.id != sps.id || c.spsChanged[sps.id]) {
    // A new sequence: the picture in progress belongs to the old one.
    FinishCurrentPictureSamples(c);
    c.store.FinishPicture();
    c.activeSps = sps;
    c.spsActive = true;
    c.spsChanged[sps.id] = false;
    c.store.SetDpbSize(sps.dpbSize);
    c.previous.idrPicId = 0xFFFFFFFFu;  // the next IDR starts a picture
  }
  c.activePps = pps;

  uint32_t result = kNalSamePicture;
  if (IsNewPicture(c, h)) {
    FinishCurrentPictureSamples(c);
    if (c.store.StartPicture(c.activeSps, h, c.user1, c.user2) != 0) {
      c.state = StreamState::kPicParams;
      return kSlicePictureSetUp;
    }
    c.pictureStartedThisCall = true;
    c.pictureFirstSlice = c.sliceCounter;
    result = kNalNewPicture;
  }
  KeepSliceValues(c);
  if (h.sliceType == kSliceTypeP && !BuildRefList(c.store, c.activeSps, h, c.refList)) return kSliceRefList;
  const int32_t sliceId = c.sliceCounter;
  c.sliceCounter = (c.sliceCounter + 1) & 0x3FFFFFFF;
  if (c.sliceCounter == 0) c.sliceCounter = 1;  // keeps ids ordered within a picture
  if (const uint32_t e = DecodeSliceData(c, sliceId)) return kSliceDataError + e;
  return result;
}

void ReadUserData(AvcDecContext& c) {
  BitReader& r = c.reader;
  const uint32_t tag = r.Bits(24);
  if (r.Overrun()) return;
  if ((tag >> 8) == 0xE001) {
    c.fieldHint = tag & 1;
  } else if ((tag >> 16) == 0xF0) {
    UserDataBlock& u = c.userData;
    u.tag = 0xF0;
    u.count = (tag >> 8) & 0xFF;
    u.bytes[0] = static_cast<uint8_t>(tag & 0xFF);
    for (uint32_t i = 1; i < u.count; ++i) u.bytes[i] = static_cast<uint8_t>(r.Bits(8));
  }
}

}  // namespace

void FinishCurrentPictureSamples(AvcDecContext& c) {
  StoredPicture* p = c.store.Current();
  if (!p || p->deblocked) return;
  const uint8_t structure = c.store.CurrentStructure();
  const uint32_t heightInMbs = c.activeSps.frameHeightInMbs / (structure == kBothFields ? 1 : 2);
  DeblockPicture(*p, structure, c.mbs, c.activeSps.widthInMbs, heightInMbs, c.pictureFirstSlice, *c.kernels);
  p->deblocked = true;
}

uint32_t DecodeNalUnit(AvcDecContext& c, size_t bytes) {
  c.reader.Reset(c.rbsp, bytes);
  BitReader& r = c.reader;
  r.Bit();  // forbidden_zero_bit
  const uint32_t nalRefIdc = r.Bits(2);
  const uint32_t nalUnitType = r.Bits(5);
  switch (nalUnitType) {
    case 1:
    case 5:
      return DecodeSlice(c, nalRefIdc, nalUnitType);
    case 6:
      ReadUserData(c);
      return kNalNewPicture;
    case 7: {
      SeqParamSet parsed;
      if (const uint32_t e = ParseSeqParamSet(r, c.limits, parsed)) return e;
      c.sps[parsed.id] = parsed;
      c.spsChanged[parsed.id] = true;
      c.fieldHint = false;
      if (c.state == StreamState::kNothing) c.state = StreamState::kSeqParams;
      return kNalSeqParams;
    }
    case 8: {
      PicParamSet parsed;
      if (const uint32_t e = ParsePicParamSet(r, c.sps, parsed)) return e;
      c.pps[parsed.id] = parsed;
      if (c.state == StreamState::kSeqParams) c.state = StreamState::kPicParams;
      return kNalPicParams;
    }
    case 9:
    case 10:
    case 12:
      return kNalIgnored;
    case 11:
      return kNalEndOfStream;
    default:
      return kNalTypeNotHandled;
  }
}

}  // namespace avc
