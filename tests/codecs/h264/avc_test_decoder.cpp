#include "tests/codecs/h264/avc_test_decoder.h"

#include "tests/codecs/h264/avc_test_support.h"

namespace avc_test {

Decoder CreateDecoder(uint32_t widthInMbs, uint32_t heightInMbs, uint32_t maxRefFrames, uint32_t flags) {
  AvcDecParams params;
  params.widthInMbs = widthInMbs;
  params.heightInMbs = heightInMbs;
  params.maxRefFrames = maxRefFrames;
  params.flags = flags;
  return Decoder(AvcDecCreate(&params), AvcDecDestroy);
}

int32_t DecodeUnit(AvcDecContext* decoder, const std::vector<uint8_t>& unit, AvcDecPicture& picture) {
  return AvcDecDecode(decoder, unit.data(), static_cast<int32_t>(unit.size()), 0, 0, &picture, nullptr);
}

bool DecodesWithinBounds(AvcDecContext* decoder, const std::vector<std::vector<uint8_t>>& units, int maxWidth,
                         int maxHeight) {
  for (const auto& unit : units) {
    AvcDecPicture picture;
    const int32_t result = DecodeUnit(decoder, unit, picture);
    if (result == kAvcDecPicture) {
      if (picture.width > maxWidth || picture.height > maxHeight || PictureMd5(picture).empty()) return false;
    } else if (result != kAvcDecNoPicture) {
      return false;
    }
  }
  return true;
}

}  // namespace avc_test
