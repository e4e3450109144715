#pragma once
// Each family of artwork adds its pictures to the catalog.
#include "tools/artwork/art_catalog.h"

namespace art {

void AddSkinPictures(Catalog& catalog);
void AddTransportButtons(Catalog& catalog);
void AddTopButtons(Catalog& catalog);
void AddFisheyeButtons(Catalog& catalog);
void AddSliderPictures(Catalog& catalog);
void AddProgramIcon(Catalog& catalog);

}  // namespace art
