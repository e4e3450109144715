#include "tests/support/oversized_parameter_sets.h"

#include <stdexcept>
#include <vector>

#include "tests/codecs/h264/bit_writer.h"
#include "tools/vyxmux/vyx_writer.h"

namespace testing_support {
namespace {

constexpr int kClaimedMbs = 1000;
constexpr int kReferences = 16;
constexpr int kHeaderWidth = 176, kHeaderHeight = 144;
constexpr int kRecords = 40;
constexpr int kFrameNumBits = 8;

// A NAL unit with its start code, emulation prevention added (7.4.1).
std::vector<uint8_t> Unit(uint8_t header, const std::vector<uint8_t>& rbsp) {
  std::vector<uint8_t> unit = {0, 0, 0, 1, header};
  int zeros = 0;
  for (const uint8_t byte : rbsp) {
    if (zeros >= 2 && byte <= 3) {
      unit.push_back(3);
      zeros = 0;
    }
    unit.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return unit;
}

// Baseline, level 5.1, frame_num of 8 bits, picture order count type 2.
std::vector<uint8_t> SequenceParameterSet(bool cropped) {
  avc_test::BitWriter bits;
  bits.U(66, 8).U(0, 8).U(51, 8).Ue(0);
  bits.Ue(kFrameNumBits - 4).Ue(2).Ue(kReferences).U(0, 1);
  bits.Ue(kClaimedMbs - 1).Ue(kClaimedMbs - 1).U(1, 1).U(1, 1);
  if (cropped) {
    // Offsets in 2-sample units on the right and bottom.
    bits.U(1, 1).Ue(0).Ue((16 * kClaimedMbs - kHeaderWidth) / 2).Ue(0).Ue((16 * kClaimedMbs - kHeaderHeight) / 2);
  } else {
    bits.U(0, 1);
  }
  bits.U(0, 1);  // no VUI
  return Unit(0x67, bits.Rbsp());
}

std::vector<uint8_t> PictureParameterSet() {
  avc_test::BitWriter bits;
  bits.Ue(0).Ue(0).U(0, 1).U(0, 1).Ue(0).Ue(0).Ue(0).U(0, 1).U(0, 2).Se(0).Se(0).Se(0);
  bits.U(1, 1).U(0, 1).U(0, 1);
  return Unit(0x68, bits.Rbsp());
}

// A reference I picture of one PCM macroblock; the decoder conceals the rest.
std::vector<uint8_t> Picture(int number) {
  const bool idr = number == 0;
  avc_test::BitWriter bits;
  bits.Ue(0).Ue(7).Ue(0).U(static_cast<uint32_t>(number % (1 << kFrameNumBits)), kFrameNumBits);
  if (idr) bits.Ue(0);
  bits.U(0, 1);
  if (idr) bits.U(0, 1);
  bits.Se(0).Ue(1);  // slice_qp_delta, no deblocking
  bits.Ue(25).Align();
  for (int i = 0; i < 384; ++i) bits.U(static_cast<uint32_t>(64 + (number * 7 + i) % 128), 8);
  return Unit(idr ? 0x65 : 0x61, bits.Rbsp());
}

}  // namespace

HostileArchive WriteOversizedParameterSetArchive(const std::filesystem::path& path, bool cropped) {
  HostileArchive archive{cropped ? "cropped-parameter-sets" : "oversized-parameter-sets", path, kRecords, false};
  VyxWriter writer;
  if (!writer.Open(path.string())) throw std::runtime_error("cannot create " + path.string());
  for (int i = 0; i < kRecords; ++i) {
    std::vector<uint8_t> payload = SequenceParameterSet(cropped);
    const std::vector<uint8_t> pps = PictureParameterSet(), picture = Picture(i);
    payload.insert(payload.end(), pps.begin(), pps.end());
    payload.insert(payload.end(), picture.begin(), picture.end());
    VYX_FRAME_HEADER header = MakeFrameHeader(i == 0 ? FRAME_TYPE_H264_I : FRAME_TYPE_H264_P, 1700000000u + i / 25,
                                              static_cast<uint32_t>(i % 25) * 40000);
    header.width = kHeaderWidth;
    header.height = kHeaderHeight;
    if (!writer.Write(header, payload)) throw std::runtime_error("cannot write " + path.string());
  }
  if (!writer.Close()) throw std::runtime_error("cannot write " + path.string());
  return archive;
}

}  // namespace testing_support
