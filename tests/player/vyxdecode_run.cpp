#include "tests/player/vyxdecode_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tests/support/test_support.h"

namespace vyxdecode_run {

namespace fs = std::filesystem;

namespace {

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

}  // namespace

std::vector<Picture> ParseDecodeOutput(const std::string& output) {
  std::vector<Picture> pictures;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    Picture p;
    char md5[64] = {};
    if (std::sscanf(line.c_str(), "%zu type=%d w=%d h=%d md5=%63s", &p.record, &p.type, &p.width, &p.height, md5) ==
        5) {
      p.md5 = md5;
      pictures.push_back(p);
    } else {
      ADD_FAILURE() << "unexpected vyxdecode line: " << line;
    }
  }
  return pictures;
}

bool Mux(const std::string& videoFlag, const fs::path& stream, const fs::path& archive, const std::string& muxOptions) {
  return testing_support::Run(Quote(testing_support::BuiltTool("tools/vyxmux/vyxmux")) + " -o " + Quote(archive) + " " +
                              videoFlag + " " + Quote(stream) + " " + muxOptions + " >/dev/null") == 0;
}

std::vector<std::string> DecodeMd5s(const fs::path& archive, const std::string& options) {
  const auto output = testing_support::RunOutput(Quote(testing_support::BuiltTool("tools/vyxdecode/vyxdecode")) + " " +
                                                 Quote(archive) + " " + options);
  if (!output) return {};
  return Md5sOf(ParseDecodeOutput(*output));
}

std::optional<std::vector<Picture>> MuxAndDecode(const std::string& videoFlag, const fs::path& stream,
                                                 const fs::path& archive, const std::string& muxOptions,
                                                 const std::string& environment) {
  if (!Mux(videoFlag, stream, archive, muxOptions)) return std::nullopt;
  const auto output = testing_support::RunOutput(environment + " " +
                                                 Quote(testing_support::BuiltTool("tools/vyxdecode/vyxdecode")) + " " +
                                                 Quote(archive) + " --planes");
  if (!output) return std::nullopt;
  return ParseDecodeOutput(*output);
}

DecodeRun DecodeArchive(const fs::path& archive, const std::string& options) {
  DecodeRun run;
  const fs::path out = fs::path(archive).replace_extension(".stdout"), err = fs::path(archive).replace_extension(".stderr");
  run.status = testing_support::Run(Quote(testing_support::BuiltTool("tools/vyxdecode/vyxdecode")) + " " +
                                    Quote(archive) + " " + options + " >" + Quote(out) + " 2>" + Quote(err));
  const std::vector<uint8_t> printed = testing_support::ReadFile(out), errors = testing_support::ReadFile(err);
  run.pictures = ParseDecodeOutput(std::string(printed.begin(), printed.end()));
  std::istringstream lines(std::string(errors.begin(), errors.end()));
  std::string line;
  while (std::getline(lines, line)) {
    Told t;
    char verdict[16] = {}, code[24] = {};
    int meaningAt = 0;
    if (std::sscanf(line.c_str(), "vyxdecode: record %zu type=%d %15s %23s %n", &t.record, &t.type, verdict, code,
                    &meaningAt) == 4 &&
        meaningAt > 0) {
      t.verdict = verdict;
      t.code = code;
      t.meaning = line.substr(size_t(meaningAt));
      run.told.push_back(t);
    } else {
      run.otherErrors.push_back(line);
    }
  }
  return run;
}

std::vector<std::string> Md5sOf(const std::vector<Picture>& pictures) {
  std::vector<std::string> md5s;
  for (const auto& p : pictures) md5s.push_back(p.md5);
  return md5s;
}

}  // namespace vyxdecode_run
