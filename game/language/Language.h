#pragma once
// The language the game speaks: Russian, as it always has, until the player chooses another.
// Each language has its table of texts and, but for Russian, its own library pair of the
// pictures that carry words (Data\Res\<code>\Res1.dxg, Res3.dxg), which stands in for the
// same-named pictures of the game's libraries while it is in use. Only what is drawn
// changes: the race, its replays and the data a replay checks are the same in every language.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "game/language/Texts.h"

class TMForm;
class TDXImageList;

enum class TLanguage : uint8_t { Russian, English };

// One line, the language's code; written only once the player has chosen, so the options
// and the high-score file stay as they are.
constexpr const char* LanguageFile = "Data\\Save\\language";

struct TLanguageState {
  TLanguageState();
  ~TLanguageState();

  TLanguage Current = TLanguage::Russian;
  bool Chosen = false;  // by the switch or the command line; kept in LanguageFile at exit
  // "Data\Res\Languages.dxg", the pictures of every language: the main menu's switch.
  std::unique_ptr<TDXImageList> Shared;
  // The pictures of Current but for Russian, loaded when it is chosen, and whether each
  // library's pictures have been traded into the game's library of the same name.
  std::unique_ptr<TDXImageList> Menus, Race;
  bool MenusIn = false, RaceIn = false;
};

// "ru", "en".
std::string_view LanguageCode(TLanguage language);
std::optional<TLanguage> LanguageOfCode(std::string_view code);

const TTexts& TextsOf(TLanguage language);
// The texts of the language in use.
const TTexts& Texts(const TMForm& form);

// The language kept in the file; Russian when it is missing or names none we speak.
TLanguage LoadLanguage(const std::string& gamePath = LanguageFile);
// Raises ESaveError and keeps the old file when writing fails.
void SaveLanguage(TLanguage language, const std::string& gamePath = LanguageFile);

// At start, once the picture libraries are loaded: the language of the command line or of
// the file, with its pictures, and the switch's.
void StartLanguage(TMForm& form);
// Brings the pictures of the language in use into every game library loaded by now that
// lacks them; a library loaded later calls it again.
void ApplyLanguagePictures(TMForm& form);
// Speaks the language from now on, every picture and text at once, and keeps the choice.
// Before FormCreate: the language to start in, whatever the file says.
void SetLanguage(TMForm& form, TLanguage language);
// The next language, round the table (the main menu's switch).
TLanguage NextLanguage(TLanguage language);
