// Dewarps one raw 32-bit picture (B, G, R, X, top-down) as the player's
// fisheye views do, and writes the result raw; prints its WxH.
//   dewarp --size WxH [--ini FILE] IN OUT ACTION
// Exit 1 on unreadable or short input (or an unwritable output), 2 on bad
// arguments.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "dewarp/dewarp_channel.h"
#include "dewarp/dewarp_settings.h"
#include "dewarp/fisheye_view.h"
#include "tools/dewarp/dewarp_arguments.h"

namespace {

bool Write(const std::string& path, const uint32_t* pixels, int width, int height) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  if (pixels && width > 0 && height > 0)
    out.write(reinterpret_cast<const char*>(pixels), static_cast<std::streamsize>(width) * height * 4);
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<DewarpArguments> parsed =
      ParseDewarpArguments(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!parsed) {
    std::cerr << "dewarp: " << error
              << "\nusage: dewarp --size WxH [--ini FILE] IN OUT (--mode M | --ptz P,T,Z,W,H [--rotated] [--wall]"
                 " | --panorama START,SPAN [--rotated] | --wall180)\n";
    return 2;
  }
  const DewarpArguments& a = *parsed;

  DewarpSettings settings;
  if (a.ini.empty()) {
    LoadDewarpSettings(&settings);
  } else {
    LoadDewarpSettings(&settings, a.ini);
  }

  const size_t pixels = static_cast<size_t>(a.width) * static_cast<size_t>(a.height);
  std::vector<uint32_t> source(pixels);
  std::ifstream in(a.input, std::ios::binary);
  if (!in || !in.read(reinterpret_cast<char*>(source.data()), static_cast<std::streamsize>(pixels * 4))) {
    std::cerr << "dewarp: cannot read " << pixels * 4 << " bytes from " << a.input << "\n";
    return 1;
  }

  int width = 0, height = 0;
  bool written = false;
  if (a.action == DewarpArguments::Action::kMode) {
    // As the video box does: the raw picture first, then the mode.
    FisheyeView view(settings);
    view.SetViewMode(0);
    view.ComposeFisheyeView(source.data(), a.width, a.height, 0);
    view.SetViewMode(a.mode);
    view.ComposeFisheyeView(source.data(), a.width, a.height, 0);
    view.DrawSelectionBorder();
    width = view.GetViewOutputWidth();
    height = view.GetViewOutputHeight();
    written = Write(a.output, view.GetViewOutputBuffer(), width, height);
  } else {
    DewarpChannel channel;
    if (a.action == DewarpArguments::Action::kPtz) {
      PtzCommand c;
      c.lens = {settings.a0, settings.a1, settings.a2, settings.a3, settings.a4, settings.a5};
      c.wall = a.wall;
      c.rotated = a.rotated;
      c.width = static_cast<uint16_t>(a.tileWidth);
      c.height = static_cast<uint16_t>(a.tileHeight);
      c.pan = static_cast<int16_t>(a.pan);
      c.tilt = static_cast<int16_t>(a.tilt);
      c.zoom = static_cast<int16_t>(a.zoom);
      channel.SetPtz(c);
    } else if (a.action == DewarpArguments::Action::kPanorama) {
      PanoramaCommand c;
      c.centerX = settings.centerX;
      c.centerY = settings.centerY;
      c.radius = settings.radius;
      c.ratio = settings.ratio;
      c.start = static_cast<int16_t>(a.start);
      c.span = static_cast<uint16_t>(a.span);
      c.rotated = a.rotated;
      channel.SetPanorama(c);
    } else {
      channel.SetWall180(settings.ratio, settings.cut);
    }
    ProcessDewarpFrame(channel, source.data(), a.width, a.height, 0);
    channel.ReadOutput([&](const uint32_t* tile, int w, int h) {
      width = w;
      height = h;
      written = Write(a.output, tile, w, h);
    });
  }
  if (!written) {
    std::cerr << "dewarp: cannot write " << a.output << "\n";
    return 1;
  }
  std::cout << width << "x" << height << "\n";
  return 0;
}
