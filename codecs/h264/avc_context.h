#pragma once
// The state of one stream, all of it allocated by AvcDecCreate.
#include <cstdint>

#include "codecs/h264/avc_decoder.h"
#include "codecs/h264/bit_reader.h"
#include "codecs/h264/deinterlacer.h"
#include "codecs/h264/kernel_set.h"
#include "codecs/h264/macroblock_record.h"
#include "codecs/h264/parameter_sets.h"
#include "codecs/h264/picture_store.h"
#include "codecs/h264/ref_list.h"
#include "codecs/h264/slice_header.h"

namespace avc {

// How far the stream has come: slices need parameter sets, P slices an
// intra picture before them.
enum class StreamState : uint8_t { kNothing, kSeqParams, kPicParams, kDecoding };

// The identifying values of the last slice, for the first-slice test of
// clause 7.4.1.2.4.
struct PreviousSlice {
  uint32_t ppsId = kMaxPps;
  uint32_t nalRefIdc = 0;
  uint32_t frameNum = 0;
  uint32_t nalUnitType = 0;
  uint32_t idrPicId = 0;
  bool fieldPic = false;
  bool bottomField = false;
  uint32_t picOrderCntLsb = 0;
  int32_t deltaPicOrderCntBottom = 0;
  int32_t deltaPicOrderCnt[2] = {};
};

struct UserDataBlock {
  uint32_t tag = 0;
  uint32_t count = 0;
  uint8_t bytes[255] = {};
};

}  // namespace avc

struct AvcDecContext {
  avc::StreamLimits limits;
  uint32_t flags = 0;
  uint32_t frameBytes = 0;

  uint8_t* frameStore = nullptr;
  uint8_t* rbsp = nullptr;
  uint32_t rbspCapacity = 0;
  avc::MbRecord* mbs = nullptr;
  avc::DeinterlaceState deinterlace;  // buffers only with kAvcDecDeinterlace

  const avc::KernelSet* kernels = nullptr;
  avc::BitReader reader;

  avc::StreamState state = avc::StreamState::kNothing;
  avc::SeqParamSet sps[avc::kMaxSps];
  avc::PicParamSet pps[avc::kMaxPps];
  bool spsChanged[avc::kMaxSps] = {};
  avc::SeqParamSet activeSps;
  avc::PicParamSet activePps;
  bool spsActive = false;
  avc::SliceHeader slice;
  avc::PreviousSlice previous;
  int32_t sliceCounter = 0;
  int32_t pictureFirstSlice = 0;

  avc::PictureStore store;
  uint8_t refList[avc::kRefListSize] = {};  // list 0 of the current P slice: frame-store indices
  bool pictureStartedThisCall = false;
  uint32_t lastRefusal = 0;  // of the current call: error_codes.h
  uint32_t user1 = 0, user2 = 0;
  bool fieldHint = false;
  avc::UserDataBlock userData;
};
