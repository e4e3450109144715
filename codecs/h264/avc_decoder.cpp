#include "codecs/h264/avc_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "codecs/h264/avc_context.h"
#include "codecs/h264/error_codes.h"
#include "codecs/h264/nal_scanner.h"
#include "codecs/h264/nal_unit.h"
#include "codecs/h264/simd_kernel_sets.h"

namespace {

constexpr uint32_t kDefaultWidthMbs = 45;
constexpr uint32_t kDefaultHeightMbs = 36;

void ResetStream(AvcDecContext& c) {
  c.state = avc::StreamState::kNothing;
  for (avc::SeqParamSet& s : c.sps) s.valid = false;
  for (avc::PicParamSet& p : c.pps) p.valid = false;
  c.spsActive = false;
  c.previous = avc::PreviousSlice{};
  c.store.Reset(c.limits.maxRefFrames);
  c.userData = avc::UserDataBlock{};
  c.fieldHint = false;
  c.sliceCounter = 0;
  c.pictureFirstSlice = 0;
}

void FreeBuffers(AvcDecContext* c) {
  std::free(c->frameStore);
  std::free(c->rbsp);
  delete[] c->mbs;
  std::free(c->deinterlace.output);
  std::free(c->deinterlace.previous);
}

}  // namespace

AvcDecContext* AvcDecCreate(const AvcDecParams* params) {
  const int32_t level = DetectCpuLevel();
  if (level < 2 || !params) return nullptr;
  AvcDecContext* c = new (std::nothrow) AvcDecContext;
  if (!c) return nullptr;
  uint32_t w = params->widthInMbs, h = params->heightInMbs, refs = params->maxRefFrames;
  if (w < 2 || w > 128) w = kDefaultWidthMbs;
  if (h < 6 || h > 128) h = kDefaultHeightMbs;
  if (refs == 0) refs = 4;
  refs = std::min(refs, 16u);
  c->limits = {w, h, refs};
  c->flags = params->flags & (kAvcDecBumping | kAvcDecDeinterlace);
  c->frameBytes = 384 * w * h;
  const uint32_t entries = 2 * refs + 4;
  c->frameStore = static_cast<uint8_t*>(std::calloc(size_t{entries} * c->frameBytes, 1));
  c->rbspCapacity = c->frameBytes + 4096;
  c->rbsp = static_cast<uint8_t*>(std::calloc(c->rbspCapacity, 1));
  c->mbs = new (std::nothrow) avc::MbRecord[size_t{w} * h];
  const bool deinterlace = (c->flags & kAvcDecDeinterlace) != 0;
  if (deinterlace) {
    c->deinterlace.lumaBytes = size_t{256} * w * h;
    c->deinterlace.output = static_cast<uint8_t*>(std::calloc(c->frameBytes, 1));
    c->deinterlace.previous = static_cast<uint8_t*>(std::calloc(c->frameBytes, 1));
  }
  if (!c->frameStore || !c->rbsp || !c->mbs || (deinterlace && (!c->deinterlace.output || !c->deinterlace.previous))) {
    FreeBuffers(c);
    delete c;
    return nullptr;
  }
  for (uint32_t i = 0; i < entries; ++i) {
    uint8_t* frame = c->frameStore + size_t{i} * c->frameBytes;
    std::memset(frame + 256 * w * h, 0x80, 128 * w * h);
  }
  c->store.Attach(c->frameStore, entries, c->frameBytes, w, h, (c->flags & kAvcDecBumping) != 0);
  c->kernels = &avc::KernelSets().Chosen();
  ResetStream(*c);
  return c;
}

void AvcDecDestroy(AvcDecContext* c) {
  if (!c) return;
  FreeBuffers(c);
  delete c;
}

uint32_t AvcDecLastRefusal(const AvcDecContext* c) { return c ? c->lastRefusal : 0; }

int32_t AvcDecDecode(AvcDecContext* c, const uint8_t* data, int32_t length, uint32_t user1, uint32_t user2,
                     AvcDecPicture* picture, void*) {
  if (!c || !picture) return kAvcDecBadArgument;
  picture->y = picture->cb = picture->cr = nullptr;
  c->pictureStartedThisCall = false;
  c->lastRefusal = 0;
  if (!data || length <= 0) return kAvcDecNoPicture;
  c->user1 = user1;
  c->user2 = user2;

  size_t position = 0;
  avc::NalUnitBytes unit;
  while (avc::NextNalUnit(data, static_cast<size_t>(length), position, c->rbsp, c->rbspCapacity, unit)) {
    if (!unit.tooLong && unit.length > 1) {
      const uint32_t result = avc::DecodeNalUnit(*c, unit.length);
      if (avc::IsRefusal(result) && !c->lastRefusal) c->lastRefusal = result;
    }
    c->store.RetireOneOutput();
  }

  avc::StoredPicture* p = c->store.Current();
  // A whole picture is filtered now; one still missing slices is filtered
  // when it is finished, so that its later slices predict from unfiltered
  // samples.
  if (p && p->mbsDecoded == p->picSizeInMbs) avc::FinishCurrentPictureSamples(*c);
  if (!c->pictureStartedThisCall || !p || p->mbsDecoded == 0) return kAvcDecNoPicture;
  if (p->withheld) {
    c->lastRefusal = avc::kPictureWithheld;
    return kAvcDecNoPicture;
  }
  p->incomplete = p->firstFieldIncomplete || p->mbsDecoded != p->picSizeInMbs;
  picture->y = p->planes[0];
  picture->cb = p->planes[1];
  picture->cr = p->planes[2];
  picture->width = p->width;
  picture->height = p->height;
  picture->lumaStride = p->width;
  picture->chromaStride = p->width / 2;
  picture->cropLeft = p->cropLeft;
  picture->cropRight = p->cropRight;
  picture->cropTop = p->cropTop;
  picture->cropBottom = p->cropBottom;
  picture->storeIndex = static_cast<int32_t>(c->store.CurrentIndex());
  picture->fieldHint = c->fieldHint ? static_cast<int32_t>(1 + (p->frameNum & 1)) : 0;
  picture->incomplete = p->incomplete ? 1 : 0;
  picture->idr = p->idr ? 1 : 0;
  picture->fieldPicture = c->store.CurrentStructure() != avc::kBothFields ? 1 : 0;
  picture->user1 = p->user1;
  picture->user2 = p->user2;
  picture->picOrderCnt = p->poc;
  picture->userData = c->userData.tag ? c->userData.bytes : nullptr;
  if ((c->flags & kAvcDecDeinterlace) && !p->progressiveSequence) {
    avc::DeinterlacePicture(c->deinterlace, *c->kernels, *picture,
                            picture->fieldPicture ? avc::DeinterlaceMode::kField : avc::DeinterlaceMode::kFrame);
  }
  return kAvcDecPicture;
}
