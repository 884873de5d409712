#pragma once
// Sound libraries (".dxw") as the data tool builds and reads them.
#include <string>
#include <vector>

#include "media/DXSounds/WaveCollection.h"
#include "tools/sprdata/Manifest.h"

// Synthesises every sound of a manifest; errors name the manifest or description line.
std::vector<TWaveEntry> PackSounds(const std::vector<TSoundSource>& sources);

// Reads through the game's own sound library reader.
std::vector<TWaveEntry> ReadSoundLibrary(const std::string& path);
