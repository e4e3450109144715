#include "codecs/audio/g726_tables.h"

namespace codecs::audio {
namespace {

constexpr G726RateTables kTables16 = {
    2, 2, {261}, {116, 365}, {-22, 439}, {0, 7}, false, 8};

constexpr G726RateTables kTables24 = {
    3, 4, {8, 218, 331}, {-2048, 135, 273, 373}, {-4, 30, 137, 582}, {0, 1, 2, 7}, true, 8};

constexpr G726RateTables kTables32 = {
    4,
    8,
    {-124, 80, 178, 246, 300, 349, 400},
    {-2048, 4, 135, 213, 273, 323, 373, 425},
    {-12, 18, 41, 64, 112, 198, 355, 1122},
    {0, 0, 0, 1, 1, 1, 3, 7},
    true,
    8};

constexpr G726RateTables kTables40 = {
    5,
    16,
    {-122, -16, 68, 139, 198, 250, 298, 339, 378, 413, 445, 475, 502, 528, 553},
    {-2048, -66, 28, 104, 169, 224, 274, 318, 358, 395, 429, 459, 488, 514, 539, 566},
    {14, 14, 24, 39, 40, 41, 58, 100, 141, 179, 219, 280, 358, 440, 529, 696},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6},
    true,
    9};

}  // namespace

const G726RateTables& G726TablesFor(G726Rate rate) {
  switch (rate) {
    case G726Rate::k16: return kTables16;
    case G726Rate::k24: return kTables24;
    case G726Rate::k40: return kTables40;
    case G726Rate::k32: break;
  }
  return kTables32;
}

}  // namespace codecs::audio
