#pragma once
// How the video output decodes: the player leaves every field at its
// default, the tools set them from their command lines.
struct VideoDecodeOptions {
  // FFmpeg's H.264 threads; 0: NUMBER_OF_PROCESSORS or the processor count.
  int h264Threads = 0;
  // JPEG pictures through the accurate decoder (LLM IDCT) instead of the
  // player's fast one.
  bool jpegAccurate = false;
  // Archives' H.264 records decoded by the program's own library (the
  // decoder kind whose row takes them with this option, player/decode/decoder_kinds.cpp)
  // instead of FFmpeg.
  bool ownH264 = false;
  // The own library's output deinterlacer on pictures of interlaced
  // sequences; only with ownH264.
  bool ownH264Deinterlace = false;
};
