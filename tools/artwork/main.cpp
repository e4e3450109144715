// Draws the program's artwork (skin pictures, button strips, slider parts,
// icon) into a folder, with the resource list that compiles it in.
//   orlenta_artwork OUTPUT_DIR
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "tools/artwork/art_catalog.h"
#include "tools/artwork/art_parts.h"

namespace {

// The labels must come out the same wherever the tool runs: take the
// fonts from their files rather than from whatever the font
// configuration would pick.
bool LoadFonts() {
  const char* const files[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                               "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"};
  for (const char* file : files) {
    if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0) {
      std::fprintf(stderr, "orlenta_artwork: cannot load the font %s (Debian: fonts-dejavu-core, fonts-dejavu-extra)\n", file);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  if (!LoadFonts()) return 1;

  art::Catalog catalog;
  art::AddSkinPictures(catalog);
  art::AddTransportButtons(catalog);
  art::AddTopButtons(catalog);
  art::AddFisheyeButtons(catalog);
  art::AddSliderPictures(catalog);
  art::AddProgramIcon(catalog);

  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists() && !QDir().mkpath(out.path())) {
    std::fprintf(stderr, "orlenta_artwork: cannot make %s\n", argv[1]);
    return 1;
  }
  return catalog.Write(out) ? 0 : 1;
}
