#include "tools/vyxmux/field_pair_records.h"

#include <utility>

std::vector<AccessUnit> JoinFieldPairs(std::vector<AccessUnit> pictures) {
  std::vector<AccessUnit> records;
  bool lastIsUnpairedField = false;
  for (AccessUnit& picture : pictures) {
    if (lastIsUnpairedField) {
      const AccessUnit& first = records.back();
      if (picture.field && picture.bottomField != first.bottomField && picture.frameNum == first.frameNum &&
          picture.reference == first.reference && !picture.idr) {
        records.back().bytes.insert(records.back().bytes.end(), picture.bytes.begin(), picture.bytes.end());
        lastIsUnpairedField = false;
        continue;
      }
    }
    lastIsUnpairedField = picture.field;
    records.push_back(std::move(picture));
  }
  return records;
}
