#include "game/persist/Options.h"

#include "game/persist/HighScores.h"
#include "game/persist/SaveFile.h"
#include "game/persist/TextLines.h"

void LoadOptions(TGameOptions& options, std::string& storedSignature, const std::string& gamePath) {
  options = TGameOptions{};
  storedSignature.clear();
  if (!FileReadable(gamePath)) return;
  const auto lines = ReadTextLines(gamePath, 5);
  if (!lines) return;
  const auto fullScreen = ParseDecimalLine((*lines)[0]);
  const auto musicOn = ParseDecimalLine((*lines)[1]);
  const auto soundOn = ParseDecimalLine((*lines)[2]);
  if (!fullScreen || !musicOn || !soundOn) return;
  options.FullScreen = *fullScreen != 0;
  options.MusicOn = *musicOn != 0;
  options.SoundOn = *soundOn != 0;
  options.AddInfo = (*lines)[3];
  storedSignature = (*lines)[4];
}

void SaveOptions(const TGameOptions& options, const std::string& signature, const std::string& gamePath) {
  std::string text;
  AppendLine(text, options.FullScreen ? "1" : "0");
  AppendLine(text, options.MusicOn ? "1" : "0");
  AppendLine(text, options.SoundOn ? "1" : "0");
  AppendLine(text, options.AddInfo);
  AppendLine(text, signature);
  WriteFileAtomically(gamePath, text);
}
