#pragma once
// The player's options and their file "Data\Save\options": five CR LF lines (full
// screen, music, sound as 0/1, the free text, the high-score signature).
#include <string>

struct TGameOptions {
  bool FullScreen = false;
  bool MusicOn = true;
  bool SoundOn = true;
  std::string AddInfo = "_______";  // Windows-1251; sent along with online results
};

constexpr const char* OptionsFile = "Data\\Save\\options";

// Reads the options and the stored high-score signature; a missing, unreadable or
// damaged file gives the defaults and an empty signature.
void LoadOptions(TGameOptions& options, std::string& storedSignature,
                 const std::string& gamePath = OptionsFile);
// Writes the options with the given signature; the old file stays whole when writing
// fails (ESaveError).
void SaveOptions(const TGameOptions& options, const std::string& signature,
                 const std::string& gamePath = OptionsFile);
