#pragma once
// Saves a snapshot as a BMP or JPEG file.  The snapshot arrives as a
// complete 32-bit BMP file image in memory (the video output's
// SnapshotImage, see bmp_image.h), which stays the caller's and is not
// changed.
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace SnapshotStatus {
inline constexpr int kOk = 0;
inline constexpr int kInvalidArgument = 2;
inline constexpr int kInvalidImage = 3;
inline constexpr int kEncoderNotFound = 4;
inline constexpr int kEncodeFailed = 5;
inline constexpr int kWriteFailed = 6;
}  // namespace SnapshotStatus

// Identifies one of the program's image encoders.
struct EncoderClsid {
  uint32_t value = 0;
};

// The index of the first encoder whose MIME type is exactly mimeType, with
// its id in *clsid; -1 when there is none.
int GetEncoderClsid(const wchar_t* mimeType, EncoderClsid* clsid);

// Encodes the image at quality 75 and writes it to path, replacing any file
// there.  0 on success, else a non-zero SnapshotStatus.  Nothing is written
// unless the image is valid and encoded; a write that fails part-way
// removes the file it began.  When the file cannot be written, *reason
// (if given) receives the system's error.
int SaveBitmapAsJpeg(std::span<const uint8_t> image, const wchar_t* path,
                     std::error_code* reason = nullptr);

// Writes the image as it is with asBmp, else encoded as JPEG.  1 on
// success, -1 when the image is empty (there is no picture) or could not be
// saved; *reason (if given) then holds the system's error when the file
// could not be written.
int WriteSnapshot(std::span<const uint8_t> image, const std::wstring& path, bool asBmp,
                  std::error_code* reason = nullptr);
