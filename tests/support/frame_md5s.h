#pragma once
// FFmpeg's framemd5 listings: the per-picture hashes that most decoder
// tests take as their oracle.
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// The hashes of a framemd5 listing, comment lines skipped; empty when a
// line holds no hash, so that a damaged listing never passes as a short one.
std::vector<std::string> ParseFrameMd5s(const std::string& listing);
// The hashes of a stored listing; empty when it cannot be read.
std::vector<std::string> ReadFrameMd5s(const std::filesystem::path& listing);

// `ffmpeg INPUT_OPTIONS -i FILE OUTPUT_OPTIONS -f framemd5 -`: one hash a
// decoded picture; empty when ffmpeg fails.
std::vector<std::string> FfmpegFrameMd5s(const std::filesystem::path& file, const std::string& inputOptions = "",
                                         const std::string& outputOptions = "-pix_fmt yuv420p");

}  // namespace testing_support
