#pragma once
// Archive records from access units: a record holds a frame picture or a
// complementary field pair, the second field in the record of the first,
// so that a record is always one frame to show.
#include <vector>

#include "tools/vyxmux/annexb_splitter.h"

// A field joins the field before it when that one is a field still
// unpaired, of the other parity, with the same frame_num, both reference or
// both non-reference fields, and it is no IDR picture (an IDR picture
// begins a frame).  Everything else stays a record of its own.
std::vector<AccessUnit> JoinFieldPairs(std::vector<AccessUnit> pictures);
