#pragma once
// MD5 (RFC 1321) through FFmpeg's libavutil, for the checksums the tools
// print and the tests compare with ffmpeg's framemd5 output: the same digest
// as the reference it is compared with, at its speed.
#include <cstddef>
#include <memory>
#include <string>

struct AVMD5;

class Md5 {
 public:
  Md5();  // throws std::bad_alloc when libavutil has no memory for it
  void Update(const void* data, size_t size);
  // The digest of everything updated, as 32 lower-case hex digits.
  std::string FinishHex();

  static std::string Hex(const void* data, size_t size);

 private:
  struct Free {
    void operator()(AVMD5* context) const;
  };
  std::unique_ptr<AVMD5, Free> context_;
};
