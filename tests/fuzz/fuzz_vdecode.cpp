// The decoder front with every kind it builds (H.264 through FFmpeg and
// through the own library, MPEG-4, JPEG): payloads and the archive header's
// picture size from the input,
// every display set-up (and so every output format of the path), source and
// destination exactly as large as the caller's contract says.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "codecs/pixels/output_formats.h"
#include "player/decode/vdecode.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

size_t BytesPerPixel(int32_t format) {
  switch (format) {
    case OUTPUT_FORMAT_RGB32:
    case OUTPUT_FORMAT_RGB32_FLIP:
      return 4;
    case OUTPUT_FORMAT_RGB24:
    case OUTPUT_FORMAT_RGB24_FLIP:
      return 3;
    default:
      return 2;
  }
}

// What the display set-up makes of the output format, before Open.
int32_t FormatFor(int32_t depth, bool overlay) {
  if (overlay) return OUTPUT_FORMAT_YUV422;
  if (depth == 32) return OUTPUT_FORMAT_RGB32;
  if (depth == 24) return OUTPUT_FORMAT_RGB24;
  return OUTPUT_FORMAT_RGB16;
}

}  // namespace

// One decoder thread: the fuzzer runs many decoders one after another, and
// starting a pool for each costs more than the decoding.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("NUMBER_OF_PROCESSORS", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::InputReader in(data, size);
  const int32_t depth = fuzz::kDepths[in.U8() % std::size(fuzz::kDepths)];
  const bool overlay = in.U8() & 1;
  const int32_t kind = 1 + in.U8() % 4;
  const int32_t width = 1 + in.U16() % fuzz::kMaxSide;
  const int32_t height = 1 + in.U16() % fuzz::kMaxSide;

  CQxVDecode decoder;
  decoder.SetOutputFormat(depth, overlay ? 1 : 0);
  const size_t pictureBytes = size_t(width) * size_t(height) * BytesPerPixel(FormatFor(depth, overlay));
  auto destination = std::make_unique<uint8_t[]>(pictureBytes);
  auto first = std::make_unique<uint8_t[]>(1);
  if (decoder.Open(first.get(), destination.get(), width, height, kind, 0) != 1) return 0;
  if (decoder.GetOutputFormat() != FormatFor(depth, overlay)) __builtin_trap();
  while (!in.Empty()) {
    const auto payload = in.Bytes(in.U32());
    auto source = std::make_unique<uint8_t[]>(payload.size() ? payload.size() : 1);
    if (!payload.empty()) std::memcpy(source.get(), payload.data(), payload.size());
    decoder.SetSource(source.get());
    decoder.Decode(static_cast<int32_t>(payload.size()));
  }
  return 0;
}
