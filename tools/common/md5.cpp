#include "tools/common/md5.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

void Md5::Free::operator()(AVMD5* context) const { av_free(context); }

Md5::Md5() : context_(av_md5_alloc()) {
  if (!context_) throw std::bad_alloc();
  av_md5_init(context_.get());
}

void Md5::Update(const void* data, size_t size) {
  // In pieces an int can count, whichever length type this libavutil takes.
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const size_t piece = std::min<size_t>(size, INT_MAX);
    av_md5_update(context_.get(), bytes, static_cast<int>(piece));
    bytes += piece;
    size -= piece;
  }
}

std::string Md5::FinishHex() {
  uint8_t digest[16];
  av_md5_final(context_.get(), digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

std::string Md5::Hex(const void* data, size_t size) {
  Md5 md5;
  md5.Update(data, size);
  return md5.FinishHex();
}
