// The dewarp tool: its answers to bad command lines and short input, and
// that it dewarps as the view manager does.
#include <gtest/gtest.h>

#include <cstring>

#include "dewarp/fisheye_view.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Run;
using testing_support::RunOutput;

std::string Tool() { return testing_support::BuiltTool("tools/dewarp/dewarp").string(); }

std::vector<uint8_t> Card(int size) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size) * size * 4);
  for (size_t i = 0; i < bytes.size() / 4; ++i) {
    const uint32_t v = static_cast<uint32_t>(i + 1);
    std::memcpy(&bytes[4 * i], &v, 4);
  }
  return bytes;
}

int ExitCode(const std::string& args) {
  return Run(Tool() + " " + args + " >/dev/null 2>&1");
}

TEST(DewarpTool, ExitCodes) {
  testing_support::ScratchDir dir("dewarp_tool_codes");
  testing_support::WriteFile(dir / "in.raw", Card(32));
  const std::string in = (dir / "in.raw").string(), out = (dir / "out.raw").string();
  EXPECT_EQ(ExitCode("--size 32x32 " + in + " " + out + " --mode 7"), 0);
  EXPECT_EQ(ExitCode("--size 33x32 " + in + " " + out + " --mode 7"), 1);  // short input
  EXPECT_EQ(ExitCode("--size 32x32 /nonexistent " + out + " --mode 7"), 1);
  const char* bad[] = {"", "--size 32x32 IN OUT", "--size 32 IN OUT --mode 1", "--size 32x32 IN OUT --mode x",
                       "--size 32x32 IN OUT --ptz 1,2,3", "--size 32x32 IN OUT --mode 1 --wall180",
                       "--size 32x32 IN OUT --panorama 0,180 --wall", "--size 32x32 IN --mode 1",
                       "--size 32x32 IN OUT --mode 1 --bogus"};
  for (const char* args : bad) EXPECT_EQ(ExitCode(args), 2) << args;
}

TEST(DewarpTool, ComposesAsTheViewDoes) {
  testing_support::ScratchDir dir("dewarp_tool_mode");
  const std::vector<uint8_t> card = Card(256);
  testing_support::WriteFile(dir / "in.raw", card);
  testing_support::WriteFile(dir / "dewarp.ini", {});
  const std::optional<std::string> printed =
      RunOutput("cd '" + dir.path().string() + "' && " + Tool() + " --size 256x256 in.raw out.raw --mode 8");
  ASSERT_TRUE(printed);
  EXPECT_EQ(*printed, "1280x960\n");

  const DewarpSettings settings;
  FisheyeView view(settings);
  std::vector<uint32_t> pixels(256 * 256);
  std::memcpy(pixels.data(), card.data(), card.size());
  view.SetViewMode(0);
  view.ComposeFisheyeView(pixels.data(), 256, 256, 0);
  view.SetViewMode(8);
  view.ComposeFisheyeView(pixels.data(), 256, 256, 0);
  view.DrawSelectionBorder();
  const std::vector<uint8_t> written = testing_support::ReadFile(dir / "out.raw");
  ASSERT_EQ(written.size(), 1280u * 960u * 4);
  EXPECT_EQ(std::memcmp(written.data(), view.GetViewOutputBuffer(), written.size()), 0);

  const std::optional<std::string> wall =
      RunOutput(Tool() + " --size 256x256 --ini '" + (dir / "dewarp.ini").string() + "' '" +
                (dir / "in.raw").string() + "' '" + (dir / "w.raw").string() + "' --wall180");
  ASSERT_TRUE(wall);
  EXPECT_EQ(*wall, "128x85\n");
}

}  // namespace
