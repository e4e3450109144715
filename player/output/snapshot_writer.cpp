#include "player/output/snapshot_writer.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "platform/wide_text.h"
#include "player/output/bmp_image.h"

namespace {

// Stands in for the quality a default JPEG save gives.
constexpr int kJpegQuality = 75;
constexpr size_t kFirstOutputSize = 64 * 1024;

using EncodeFunction = bool (*)(const BmpImageView& image, std::vector<uint8_t>& out);

struct ImageEncoder {
  const wchar_t* mimeType;
  EncoderClsid clsid;
  EncodeFunction encode;
};

// libjpeg reports errors by calling error_exit, which must not return:
// it jumps back to the encoder's set-up point.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void ExitOnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings and traces are not for the user.
void DiscardMessage(j_common_ptr) {}

// Collects the encoded bytes in memory, so that no file is begun before the
// encoding succeeded.
struct VectorDestination {
  jpeg_destination_mgr base;
  std::vector<uint8_t>* out;
};

VectorDestination& DestinationOf(j_compress_ptr info) {
  return *reinterpret_cast<VectorDestination*>(info->dest);
}

[[noreturn]] void FailOutOfMemory(j_compress_ptr info) {
  info->err->msg_code = JERR_OUT_OF_MEMORY;
  info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
  std::abort();  // error_exit never returns
}

// Growing a buffer may fail; the caller reports it the libjpeg way, outside
// any exception handler.
bool Grow(std::vector<uint8_t>& out, size_t size) {
  try {
    out.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void InitDestination(j_compress_ptr info) {
  VectorDestination& dest = DestinationOf(info);
  if (!Grow(*dest.out, kFirstOutputSize)) FailOutOfMemory(info);
  dest.base.next_output_byte = dest.out->data();
  dest.base.free_in_buffer = dest.out->size();
}

boolean EmptyOutputBuffer(j_compress_ptr info) {
  VectorDestination& dest = DestinationOf(info);
  const size_t used = dest.out->size();
  if (!Grow(*dest.out, used * 2)) FailOutOfMemory(info);
  dest.base.next_output_byte = dest.out->data() + used;
  dest.base.free_in_buffer = dest.out->size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  VectorDestination& dest = DestinationOf(info);
  dest.out->resize(dest.out->size() - dest.base.free_in_buffer);
}

// Only objects made before setjmp live in this frame, so the jump out of
// libjpeg skips no destructor.
bool EncodeJpeg(const BmpImageView& image, std::vector<uint8_t>& out) {
  std::vector<uint8_t> row;
  if (!Grow(row, image.stride)) return false;
  jpeg_compress_struct info{};
  ErrorManager errors{};
  VectorDestination dest{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = ExitOnError;
  errors.base.output_message = DiscardMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  dest.base.init_destination = InitDestination;
  dest.base.empty_output_buffer = EmptyOutputBuffer;
  dest.base.term_destination = TermDestination;
  dest.out = &out;
  info.dest = &dest.base;

  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  // libjpeg takes rows as writable; they are copied so that the caller's
  // memory is only ever read.
  JSAMPROW rows[1] = {row.data()};
  for (int y = 0; y < image.height; ++y) {
    std::copy(image.Row(y), image.Row(y) + image.stride, row.begin());
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

constexpr ImageEncoder kEncoders[] = {
    {L"image/jpeg", EncoderClsid{1}, EncodeJpeg},
};

const ImageEncoder* FindEncoder(EncoderClsid clsid) {
  for (const ImageEncoder& encoder : kEncoders) {
    if (encoder.clsid.value == clsid.value) return &encoder;
  }
  return nullptr;
}

std::error_code LastSystemError() { return {errno, std::generic_category()}; }

int WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes, std::error_code& reason) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    reason = LastSystemError();
    return SnapshotStatus::kWriteFailed;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (!written) reason = LastSystemError();
  const bool closed = std::fclose(file) == 0;
  if (!closed && written) reason = LastSystemError();
  if (written && closed) return SnapshotStatus::kOk;
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return SnapshotStatus::kWriteFailed;
}

}  // namespace

int GetEncoderClsid(const wchar_t* mimeType, EncoderClsid* clsid) {
  if (!mimeType) return -1;
  int index = 0;
  for (const ImageEncoder& encoder : kEncoders) {
    if (std::wcscmp(encoder.mimeType, mimeType) == 0) {
      if (clsid) *clsid = encoder.clsid;
      return index;
    }
    ++index;
  }
  return -1;
}

int SaveBitmapAsJpeg(std::span<const uint8_t> image, const wchar_t* path, std::error_code* reason) {
  if (!path || !*path) return SnapshotStatus::kInvalidArgument;
  const std::optional<BmpImageView> view = ParseBmp32(image, JPEG_MAX_DIMENSION);
  if (!view) return SnapshotStatus::kInvalidImage;
  EncoderClsid clsid;
  if (GetEncoderClsid(L"image/jpeg", &clsid) < 0) return SnapshotStatus::kEncoderNotFound;
  const ImageEncoder* encoder = FindEncoder(clsid);
  if (!encoder) return SnapshotStatus::kEncoderNotFound;

  std::vector<uint8_t> encoded;
  if (!encoder->encode(*view, encoded)) return SnapshotStatus::kEncodeFailed;
  std::error_code writeError;
  const int status = WriteWholeFile(platform::WideToUtf8(path), encoded, writeError);
  if (reason) *reason = writeError;
  return status;
}

int WriteSnapshot(std::span<const uint8_t> image, const std::wstring& path, bool asBmp, std::error_code* reason) {
  if (image.empty()) return -1;
  if (!asBmp) return SaveBitmapAsJpeg(image, path.c_str(), reason) == SnapshotStatus::kOk ? 1 : -1;
  std::error_code writeError;
  if (WriteWholeFile(platform::WideToUtf8(path.c_str()), image, writeError) == SnapshotStatus::kOk) return 1;
  if (reason) *reason = writeError;
  return -1;
}
