#pragma once
// Writes a decoded picture in one of the output formats (output_formats.h).
#include <cstdint>

#include "codecs/mpeg4/mp4_decoder.h"

// `picture` planes hold width x height and (width + 1) / 2 x (height + 1) / 2
// samples.  I420 writes Y, U, V rows back to back; the packed formats go
// through the YUV converters with `stride` pixels per row.  Other codes
// write nothing.
void WriteMp4Output(const Mp4DecPicture& picture, int32_t format, int32_t stride, uint8_t* output);
