#pragma once
// Runs the built vyxmux and vyxdecode the way the archive decode tests do:
// an elementary stream muxed into an archive, decoded with --planes, and
// vyxdecode's lines parsed.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vyxdecode_run {

// One line of vyxdecode: "<record index> type=<t> w=<w> h=<h> md5=<md5>".
struct Picture {
  size_t record = 0;
  int type = 0, width = 0, height = 0;
  std::string md5;
};

// Lines that do not parse are reported as test failures.
std::vector<Picture> ParseDecodeOutput(const std::string& output);

// vyxmux -o archive <videoFlag> stream <muxOptions>; false when it fails.
bool Mux(const std::string& videoFlag, const std::filesystem::path& stream, const std::filesystem::path& archive,
         const std::string& muxOptions = "");

// The md5 of every picture of `vyxdecode archive <options>`; empty when it
// fails.
std::vector<std::string> DecodeMd5s(const std::filesystem::path& archive, const std::string& options);

// Mux, then `environment
// vyxdecode archive --planes`; nullopt when either tool fails.
std::optional<std::vector<Picture>> MuxAndDecode(const std::string& videoFlag, const std::filesystem::path& stream,
                                                 const std::filesystem::path& archive,
                                                 const std::string& muxOptions = "",
                                                 const std::string& environment = "");

std::vector<std::string> Md5sOf(const std::vector<Picture>& pictures);

// One record told on standard error:
// "vyxdecode: record <index> type=<t> <verdict> <code> <meaning>".
struct Told {
  size_t record = 0;
  int type = 0;
  std::string verdict, code, meaning;
};

// A whole run of `vyxdecode archive <options>`: its exit status, the
// pictures it printed, the records it told and its other standard error
// lines.
struct DecodeRun {
  int status = -1;
  std::vector<Picture> pictures;
  std::vector<Told> told;
  std::vector<std::string> otherErrors;
};
DecodeRun DecodeArchive(const std::filesystem::path& archive, const std::string& options);

}  // namespace vyxdecode_run
