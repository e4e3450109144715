#pragma once
// The names of a conversion's files: the first is the name chosen; file n
// (n >= 2) is that name less one final ".avi" (any case), then "-%03d.avi".
// "clip.avi" gives clip-002.avi, "clip" gives clip-002.avi too.
#include <string>

std::string AviOutputName(const std::string& chosen, unsigned fileNumber);
