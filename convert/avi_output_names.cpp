#include "convert/avi_output_names.h"

#include <cstdio>
#include <strings.h>

std::string AviOutputName(const std::string& chosen, unsigned fileNumber) {
  if (fileNumber <= 1) return chosen;
  std::string base = chosen;
  if (base.size() >= 4 && strcasecmp(base.c_str() + base.size() - 4, ".avi") == 0)
    base.resize(base.size() - 4);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%03u.avi", fileNumber);
  return base + suffix;
}
