#pragma once
// An H.264 archive whose parameter sets claim far more than its record
// headers: 176 x 144 headers over a sequence parameter set of 1000 x 1000
// macroblocks (16000 x 16000 pixels, just within FFmpeg's own size check)
// with 16 reference frames, and reference pictures of one PCM macroblock
// each.  Every picture the decoder believed would cost 384 MB.
#include <filesystem>

#include "tests/support/hostile_archives.h"

namespace testing_support {

// `cropped`: the parameter set crops the claimed picture down to the
// header's 176 x 144, so that only the coded size is out of bounds.
HostileArchive WriteOversizedParameterSetArchive(const std::filesystem::path& path, bool cropped);

}  // namespace testing_support
