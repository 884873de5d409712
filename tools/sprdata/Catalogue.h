#pragma once
// The catalogue: every name the game looks up, in its library, with the layout rules the
// game's screens rely on. The data build checks the built libraries against it.
#include <string>
#include <vector>

#include "tools/sprdata/PictureLibrary.h"
#include "tools/sprdata/SoundLibrary.h"

struct TBuiltData {
  std::vector<TLibraryPicture> Res1, Res3;
  std::vector<TWaveEntry> Sounds;
};

// Top and bottom rows of a tiling picture may differ by this much (mean over the row's
// channels, 0..255) and still join without a visible seam.
constexpr double TileTolerance = 12.0;

// Every broken rule, one message each, naming the library, the picture or sound and the
// catalogue line; empty when the data is complete. Throws EDataError for a bad catalogue.
std::vector<std::string> CheckCatalogue(const std::string& cataloguePath, const TBuiltData& data);
