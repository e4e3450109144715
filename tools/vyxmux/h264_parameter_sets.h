#pragma once
// The parts of H.264 sequence and picture parameter sets that splitting a
// byte stream into access units needs: what the slice header layout
// depends on, and the cropped picture size.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

struct H264Sps {
  uint32_t id = 0;
  uint32_t chromaFormatIdc = 1;
  bool separateColourPlane = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t picOrderCntType = 0;
  uint32_t log2MaxPicOrderCntLsb = 4;
  bool deltaPicOrderAlwaysZero = false;
  bool frameMbsOnly = true;
  uint16_t width = 0;   // after frame cropping
  uint16_t height = 0;
};

struct H264Pps {
  uint32_t id = 0;
  uint32_t spsId = 0;
  bool bottomFieldPicOrderInFramePresent = false;
  bool redundantPicCntPresent = false;
};

// `rbsp` starts after the one-byte NAL unit header; emulation prevention
// bytes are still in it.  nullopt when the set is truncated or out of range.
std::optional<H264Sps> ParseH264Sps(const uint8_t* rbsp, size_t size);
std::optional<H264Pps> ParseH264Pps(const uint8_t* rbsp, size_t size);

// The sets seen so far in a stream, by id; a later set replaces an earlier
// one of the same id.
struct H264ParameterSets {
  std::array<std::optional<H264Sps>, 32> sps;
  std::array<std::optional<H264Pps>, 256> pps;
};
