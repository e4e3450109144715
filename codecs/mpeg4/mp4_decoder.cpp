#include "codecs/mpeg4/mp4_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "codecs/mpeg4/mp4_bit_reader.h"
#include "codecs/mpeg4/mp4_comb_filter.h"
#include "codecs/mpeg4/mp4_headers.h"
#include "codecs/mpeg4/mp4_kernels.h"
#include "codecs/mpeg4/mp4_output.h"
#include "codecs/mpeg4/mp4_picture.h"
#include "codecs/mpeg4/mp4_vop_decoder.h"

struct Mp4Decoder {
  uint32_t width = 0;
  uint32_t height = 0;
  int mbWidth = 0;
  int mbHeight = 0;
  Mp4VolHeader vol;
  // The code of a refused VOL; VOPs are refused with it until a VOL is accepted.
  int32_t refusal = 0;
  // The reference is a picture this decoder made from an I-VOP and the
  // P-VOPs after it: predicted VOPs are withheld while it is not.
  bool referenceDecoded = false;
  Mp4Picture pictures[2];
  int current = 0;  // pictures[current] is decoded into, the other is the reference
  std::vector<Mp4MbInfo> mbs;
  std::vector<uint8_t> combLuma;  // the filtered output luma
  const Mp4Kernels* kernels = &Mp4SelectedKernels();

  Mp4Picture& Current() { return pictures[current]; }
  const Mp4Picture& Reference() const { return pictures[1 - current]; }
};

namespace {

constexpr uint32_t kMaxDimension = 8191;

bool IsVolRefusal(int32_t rc) {
  switch (rc) {
    case MP4DEC_ERR_SCALABILITY:
    case MP4DEC_ERR_DATA_PARTITIONED:
    case MP4DEC_ERR_UNSUPPORTED_VOL:
    case MP4DEC_ERR_COMPLEXITY:
    case MP4DEC_ERR_SHAPE:
    case MP4DEC_ERR_SIZE:
      return true;
    default:
      return false;
  }
}

Mp4DecPicture PlanesOf(const Mp4Decoder& d, const Mp4Picture& p) {
  Mp4DecPicture out;
  out.y = p.y.origin;
  out.u = p.u.origin;
  out.v = p.v.origin;
  out.yStride = p.y.stride;
  out.uvStride = p.u.stride;
  out.width = d.width;
  out.height = d.height;
  return out;
}

void Output(Mp4Decoder& d, const Mp4DecFrame& frame) {
  Mp4DecPicture picture = PlanesOf(d, d.Reference());
  if (frame.deinterlace) {
    // Filter a copy: the reference keeps the decoded samples.
    const size_t w = d.width, h = d.height;
    for (size_t row = 0; row < h; ++row)
      std::memcpy(d.combLuma.data() + row * w, picture.y + ptrdiff_t(row) * picture.yStride, w);
    Mp4CombFilter(d.combLuma.data(), ptrdiff_t(w), int(w), int(h));
    picture.y = d.combLuma.data();
    picture.yStride = ptrdiff_t(w);
  }
  WriteMp4Output(picture, frame.format, frame.stride, frame.output);
}

// A P-VOP that fails on damaged data is passed over and the next one
// predicts from the last good picture; an I-VOP that does not decode, or
// any VOP in video packets, leaves the pictures after it with nothing
// right to predict from.
void ForgetReferenceAfter(Mp4Decoder& d, const Mp4VopHeader& vop, int32_t rc) {
  if (vop.codingType == 0 || rc == MP4DEC_ERR_VIDEO_PACKETS) d.referenceDecoded = false;
}

int32_t DecodeVop(Mp4Decoder& d, Mp4BitReader& reader, const Mp4DecFrame& frame) {
  Mp4VopHeader vop;
  const int32_t rc = ParseMp4VopHeader(reader, d.vol, vop);
  if (rc == MP4DEC_B_VOP_SKIPPED) return rc;
  if (rc != 0) {
    ForgetReferenceAfter(d, vop, rc);
    return rc;
  }
  if (!vop.coded) {  // the standard repeats the reference
    if (!d.referenceDecoded) return MP4DEC_NO_REFERENCE;
    Output(d, frame);
    return MP4DEC_OK;
  }
  if (vop.codingType != 0 && !d.referenceDecoded) return MP4DEC_NO_REFERENCE;
  const Mp4VopContext context{d.vol,    vop,        reader,     d.Reference(), d.Current(),
                              d.mbs,    d.mbWidth,  d.mbHeight, *d.kernels};
  const int32_t mbResult = DecodeMp4VopMacroblocks(context);
  if (mbResult != 0) {
    ForgetReferenceAfter(d, vop, mbResult);
    return mbResult;
  }
  d.Current().Pad();
  d.current = 1 - d.current;
  d.referenceDecoded = true;
  Output(d, frame);
  return MP4DEC_OK;
}

}  // namespace

int32_t Mp4Dec_Create(Mp4Decoder** decoder, uint32_t width, uint32_t height, uint32_t, uint32_t) {
  if (decoder == nullptr) return MP4DEC_ERR_ALLOCATION;
  *decoder = nullptr;
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) return MP4DEC_ERR_ALLOCATION;
  Mp4Decoder* d = new (std::nothrow) Mp4Decoder;
  if (d == nullptr) return MP4DEC_ERR_ALLOCATION;
  try {
    d->width = width;
    d->height = height;
    d->mbWidth = int((width + 15) / 16);
    d->mbHeight = int((height + 15) / 16);
    d->vol = DefaultMp4Vol(width, height);
    for (Mp4Picture& p : d->pictures) {
      p.Allocate(int(width), int(height));
      // Grey until the first picture arrives: what GetPicture shows before.
      p.y.Fill(128);
      p.u.Fill(128);
      p.v.Fill(128);
    }
    d->mbs.resize(size_t(d->mbWidth) * size_t(d->mbHeight));
    d->combLuma.resize(size_t(width) * size_t(height));
  } catch (const std::bad_alloc&) {
    delete d;
    return MP4DEC_ERR_ALLOCATION;
  }
  *decoder = d;
  return MP4DEC_OK;
}

int32_t Mp4Dec_SetVolDefaults(Mp4Decoder* d, const Mp4VolDefaults* defaults) {
  if (d == nullptr || defaults == nullptr) return MP4DEC_OK;
  d->vol.interlaced = defaults->interlaced ? 1 : 0;
  d->vol.vopTimeIncrementResolution = defaults->vopTimeIncrementResolution;
  // Precisions beyond the 8-bit range the decoder supports keep the usual 5.
  d->vol.quantPrecision = defaults->quantPrecision >= 3 && defaults->quantPrecision <= 9 ? defaults->quantPrecision : 5;
  d->vol.verid = defaults->verid;
  d->vol.quarterSample = defaults->quarterSample ? 1 : 0;
  return MP4DEC_OK;
}

int32_t Mp4Dec_Decode(Mp4Decoder* d, const Mp4DecFrame* frame, uint32_t) {
  if (d == nullptr || frame == nullptr || frame->data == nullptr || frame->length == 0) return MP4DEC_ERR_NO_VOP;
  Mp4BitReader reader(frame->data, frame->length);
  bool sawStartCode = false;
  int32_t lastFailure = 0;
  while (reader.NextStartCode()) {
    sawStartCode = true;
    const uint64_t at = reader.Position();
    if (reader.BitsLeft() < 32) break;  // a prefix without its code
    const uint32_t code = reader.Peek(32) & 0xFF;
    int32_t rc = 0;
    if (code == 0xB6) {
      if (d->refusal != 0) return d->refusal;
      return DecodeVop(*d, reader, *frame);
    }
    if (code == 0xB0) {
      rc = ParseMp4VisualObjectSequence(reader);
    } else if (code == 0xB5) {
      rc = ParseMp4VisualObject(reader);
    } else if (code <= 0x2F) {
      // Parsed into a scratch record: a refused VOL leaves nothing behind.
      Mp4VolHeader vol = d->vol;
      rc = ParseMp4Vol(reader, d->width, d->height, vol);
      if (rc == MP4DEC_OK || rc == MP4DEC_ERR_VOL_USER_DATA) {
        d->vol = vol;
        d->refusal = 0;
        rc = MP4DEC_OK;
      } else if (IsVolRefusal(rc)) {
        d->refusal = rc;
        d->referenceDecoded = false;
        return rc;
      }
    }
    if (rc != 0) lastFailure = rc;
    // Step past this start code whatever the parser consumed.
    if (rc != 0 || reader.Position() <= at) reader.SetPosition(at + 32);
  }
  if (!sawStartCode) return MP4DEC_ERR_NO_VIDEO_OBJECT;
  return lastFailure != 0 ? lastFailure : MP4DEC_ERR_NO_VOP;
}

int32_t Mp4Dec_Destroy(Mp4Decoder* d, uint32_t) {
  delete d;
  return MP4DEC_OK;
}

int32_t Mp4Dec_GetPicture(const Mp4Decoder* d, Mp4DecPicture* picture) {
  if (d == nullptr || picture == nullptr) return MP4DEC_ERR_NO_VOP;
  *picture = PlanesOf(*d, d->Reference());
  return MP4DEC_OK;
}
