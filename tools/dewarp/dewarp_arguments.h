#pragma once
// The command line of the dewarp tool:
//   dewarp --size WxH [--ini FILE] IN OUT ACTION
// ACTION: --mode M | --ptz P,T,Z,W,H [--rotated] [--wall]
//       | --panorama START,SPAN [--rotated] | --wall180
#include <optional>
#include <string>
#include <vector>

struct DewarpArguments {
  enum class Action { kMode, kPtz, kPanorama, kWall180 };
  int width = 0;
  int height = 0;
  std::string ini;  // empty: "dewarp.ini" in the current directory
  std::string input;
  std::string output;
  Action action = Action::kMode;
  int mode = 0;
  int pan = 0, tilt = 0, zoom = 0, tileWidth = 0, tileHeight = 0;
  int start = 0, span = 0;
  bool rotated = false;
  bool wall = false;
};

// nullopt (with the reason in *error) when the line is not one of the forms.
std::optional<DewarpArguments> ParseDewarpArguments(const std::vector<std::string>& args, std::string* error);
