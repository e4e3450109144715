// The command line: which argument names the archive.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace {

TEST(CommandLine, TheFirstPlainArgumentIsTheArchive) {
  struct Case {
    QStringList arguments;
    QString archive;
  };
  const Case cases[] = {
      {{"orlenta"}, ""},
      {{"orlenta", "/home/user/clip.vyx"}, "/home/user/clip.vyx"},  // "/" starts a path
      {{"orlenta", "clip.vyx", "other.vyx"}, "clip.vyx"},
      {{"orlenta", "-v", "--style=x", "clip.vyx"}, "clip.vyx"},
      {{"orlenta", "--", "-clip.vyx"}, "-clip.vyx"},
      {{"orlenta", "-x"}, ""},
  };
  for (const Case& c : cases) {
    CCommandLineInfo info;
    ParseCommandLine(c.arguments, info);
    EXPECT_EQ(info.m_strFileName, c.archive) << c.arguments.join(' ').toStdString();
  }
}

}  // namespace
