// The tools that decode or convert an archive, on archives an attacker or a
// damaged copy would hand them: each ends normally (or reports the damage),
// crashes on nothing and keeps its peak memory far below what the headers
// claim.  The tools decode through the player's own reader and video output,
// so this bounds the engine's cost for the same archives too.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player/archive/vyx_format.h"
#include "tests/support/archive_records.h"
#include "tests/support/child_memory.h"
#include "tests/support/hostile_archives.h"
#include "tests/support/oversized_parameter_sets.h"
#include "tests/support/test_support.h"
#include "tools/vyxmux/vyx_writer.h"

namespace {

using testing_support::BuiltTool;

constexpr uint64_t kPeakLimitKiB = 256u * 1024;
// AddressSanitizer's shadow memory, redzones and quarantine are not the
// tools' own: under it only the survival is checked.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

// Hostile archives plus a picture header of 65535 x 65535 on a 16-byte
// payload: within no recorder's range, so nothing may be allocated for it;
// and small records whose H.264 parameter sets claim 16000 x 16000 pixels
// with 16 references, whole or cropped to the header's size.
std::vector<testing_support::HostileArchive> Archives(const std::filesystem::path& dir) {
  auto archives = testing_support::WriteHostileArchives(dir);
  testing_support::HostileArchive huge{"huge-picture", dir / "huge-picture.vyx", 2, false};
  testing_support::ArchiveRecord record{MakeFrameHeader(FRAME_TYPE_H264_I), std::vector<uint8_t>(16, 0)};
  record.header.width = record.header.height = 65535;
  EXPECT_TRUE(testing_support::WriteArchive(huge.path, {record, record}));
  archives.push_back(huge);
  for (const bool cropped : {false, true}) {
    archives.push_back(testing_support::WriteOversizedParameterSetArchive(
        dir / (cropped ? "cropped-parameter-sets.vyx" : "oversized-parameter-sets.vyx"), cropped));
  }
  return archives;
}

struct ToolRun {
  const char* name;
  const char* tool;
  bool writesAvi;  // and so copies every payload to disk: not for the 5 GiB archive
};

TEST(HostileArchivesInTheTools, PeakMemoryStaysBounded) {
  testing_support::ScratchDir dir("hostile-tools");
  const auto archives = Archives(dir.path());
  for (const ToolRun& t : {ToolRun{"vyxdecode", "tools/vyxdecode/vyxdecode", false},
                           ToolRun{"vyx2avi", "tools/vyx2avi/vyx2avi", true}}) {
    for (const auto& archive : archives) {
      if (t.writesAvi && archive.name == "5gib-chain") continue;
      SCOPED_TRACE(std::string(t.name) + " on " + archive.name);
      std::vector<std::string> argv{BuiltTool(t.tool).string(), archive.path.string()};
      if (t.writesAvi) argv.push_back((dir.path() / (archive.name + ".avi")).string());
      const auto run = testing_support::RunProgram(argv);
      // vyx2avi says "failed" (1) for an archive without a decodable key
      // frame or with a damaged record; neither tool may die of a signal.
      EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode;
      if (kMeasured) {
        EXPECT_LT(run.peakKiB, kPeakLimitKiB);
      }
      std::printf("%s on %s: peak %llu KiB\n", t.name, archive.name.c_str(),
                  static_cast<unsigned long long>(run.peakKiB));
    }
  }
}

}  // namespace
