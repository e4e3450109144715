#include "tools/dewarp/dewarp_arguments.h"

#include <charconv>
#include <limits>

namespace {

bool ParseInt(const std::string& text, int lowest, int highest, int* value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && at == end && *value >= lowest && *value <= highest;
}

// "a,b,c": exactly count integers separated by sep.
bool ParseList(const std::string& text, char sep, std::vector<int>* values, size_t count) {
  values->clear();
  size_t from = 0;
  while (true) {
    const size_t next = text.find(sep, from);
    int v = 0;
    if (!ParseInt(text.substr(from, next - from), std::numeric_limits<int16_t>::min(), 65535, &v)) return false;
    values->push_back(v);
    if (next == std::string::npos) break;
    from = next + 1;
  }
  return values->size() == count;
}

}  // namespace

std::optional<DewarpArguments> ParseDewarpArguments(const std::vector<std::string>& args, std::string* error) {
  DewarpArguments a;
  std::vector<std::string> files;
  bool haveSize = false, haveAction = false;
  const auto fail = [&](const std::string& why) {
    *error = why;
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    std::vector<int> v;
    if (arg == "--size") {
      if (!hasValue || !ParseList(args[++i], 'x', &v, 2) || v[0] < 1 || v[1] < 1 || v[0] > 16384 || v[1] > 16384)
        return fail("--size takes WxH");
      a.width = v[0];
      a.height = v[1];
      haveSize = true;
    } else if (arg == "--ini") {
      if (!hasValue) return fail("--ini takes a file");
      a.ini = args[++i];
    } else if (arg == "--mode" || arg == "--ptz" || arg == "--panorama" || arg == "--wall180") {
      if (haveAction) return fail("one action only");
      haveAction = true;
      if (arg == "--wall180") {
        a.action = DewarpArguments::Action::kWall180;
      } else if (!hasValue) {
        return fail(arg + " takes a value");
      } else if (arg == "--mode") {
        a.action = DewarpArguments::Action::kMode;
        if (!ParseInt(args[++i], -1, 1000, &a.mode)) return fail("--mode takes a number");
      } else if (arg == "--ptz") {
        a.action = DewarpArguments::Action::kPtz;
        if (!ParseList(args[++i], ',', &v, 5) || v[3] < 0 || v[4] < 0 || v[3] > 8192 || v[4] > 8192)
          return fail("--ptz takes P,T,Z,W,H");
        a.pan = v[0], a.tilt = v[1], a.zoom = v[2], a.tileWidth = v[3], a.tileHeight = v[4];
      } else {
        a.action = DewarpArguments::Action::kPanorama;
        if (!ParseList(args[++i], ',', &v, 2) || v[1] < 0) return fail("--panorama takes START,SPAN");
        a.start = v[0], a.span = v[1];
      }
    } else if (arg == "--rotated") {
      a.rotated = true;
    } else if (arg == "--wall") {
      a.wall = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return fail("unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (!haveSize) return fail("--size is required");
  if (!haveAction) return fail("an action is required");
  if (files.size() != 2) return fail("IN and OUT are required");
  if (a.wall && a.action != DewarpArguments::Action::kPtz) return fail("--wall goes with --ptz");
  if (a.rotated && a.action != DewarpArguments::Action::kPtz && a.action != DewarpArguments::Action::kPanorama)
    return fail("--rotated goes with --ptz or --panorama");
  a.input = files[0];
  a.output = files[1];
  return a;
}
