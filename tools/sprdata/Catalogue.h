#pragma once
// The catalogue: every name the game looks up, in its library, with the layout rules the
// game's screens rely on. The data build checks the built libraries against it.
#include <string>
#include <vector>

#include "tools/sprdata/PictureLibrary.h"
#include "tools/sprdata/SoundLibrary.h"

// A language's pictures with words: Res1.dxg and Res3.dxg of its folder.
struct TLanguagePictures {
  std::string Folder;  // as the messages name it, "en"
  std::vector<TLibraryPicture> Res1, Res3;
};

struct TBuiltData {
  std::vector<TLibraryPicture> Res1, Res3;
  std::vector<TWaveEntry> Sounds;
  std::vector<TLibraryPicture> Languages;  // the pictures every language shares
  std::vector<TLanguagePictures> LanguageFolders;
};

// Top and bottom rows of a tiling picture may differ by this much (mean over the row's
// channels, 0..255) and still join without a visible seam.
constexpr double TileTolerance = 12.0;

// Every broken rule, one message each, naming the library, the picture or sound and the
// catalogue line; empty when the data is complete. Throws EDataError for a bad catalogue.
// A picture marked words=yes is in every language folder, alike in size, pattern grid,
// skips, key and depth; a language folder holds no other picture.
std::vector<std::string> CheckCatalogue(const std::string& cataloguePath, const TBuiltData& data);
