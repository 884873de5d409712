#include "game/language/Language.h"

#include <iterator>

#include "app/MForm.h"
#include "game/language/English.h"
#include "game/language/Russian.h"
#include "game/persist/HighScores.h"
#include "game/persist/SaveFile.h"
#include "game/persist/TextLines.h"
#include "media/DXDraws/PictureCollection.h"

namespace {

struct TLanguageInfo {
  std::string_view Code;
  const TTexts* Texts;
};

// By TLanguage; Russian, the game's own, has no pictures of its own.
constexpr TLanguageInfo Languages[] = {
    {"ru", &RussianTexts},
    {"en", &EnglishTexts},
};

const TLanguageInfo& Info(TLanguage language) { return Languages[size_t(language)]; }

// Trades the pictures of the language in use into one game library, reading them first.
void BringIn(TMForm& form, std::unique_ptr<TDXImageList>& own, bool& in, TDXImageList& game,
             std::string_view library) {
  // A library not loaded yet gets them when it is.
  if (in || game.Items.Count() == 0) return;
  if (!own) {
    own = std::make_unique<TDXImageList>(form.MDXDraw.get());
    own->Items.KeepPictures = false;
    own->LoadFromFile("Data\\Res\\" + std::string(LanguageCode(form.Language.Current)) + "\\" +
                      std::string(library) + ".dxg");
  }
  game.Items.SwapPixels(own->Items);
  in = true;
}

// The game's libraries get their own pictures back; the language's are let go.
void TakeOut(TMForm& form) {
  TLanguageState& s = form.Language;
  if (s.MenusIn) form.MDXImageList->Items.SwapPixels(s.Menus->Items);
  if (s.RaceIn) form.MDXImageList3->Items.SwapPixels(s.Race->Items);
  s.MenusIn = s.RaceIn = false;
  s.Menus.reset();
  s.Race.reset();
}

}  // namespace

TLanguageState::TLanguageState() = default;
TLanguageState::~TLanguageState() = default;

std::string_view LanguageCode(TLanguage language) { return Info(language).Code; }

std::optional<TLanguage> LanguageOfCode(std::string_view code) {
  for (size_t i = 0; i < std::size(Languages); ++i)
    if (Languages[i].Code == code) return TLanguage(i);
  return std::nullopt;
}

const TTexts& TextsOf(TLanguage language) { return *Info(language).Texts; }

const TTexts& Texts(const TMForm& form) { return TextsOf(form.Language.Current); }

TLanguage LoadLanguage(const std::string& gamePath) {
  if (!FileReadable(gamePath)) return TLanguage::Russian;
  const auto lines = ReadTextLines(gamePath, 1);
  if (!lines) return TLanguage::Russian;
  return LanguageOfCode((*lines)[0]).value_or(TLanguage::Russian);
}

void SaveLanguage(TLanguage language, const std::string& gamePath) {
  std::string text;
  AppendLine(text, LanguageCode(language));
  WriteFileAtomically(gamePath, text);
}

void StartLanguage(TMForm& form) {
  TLanguageState& s = form.Language;
  s.Shared = std::make_unique<TDXImageList>(form.MDXDraw.get());
  s.Shared->Items.KeepPictures = false;
  s.Shared->LoadFromFile("Data\\Res\\Languages.dxg");
  if (!s.Chosen) s.Current = LoadLanguage();
  ApplyLanguagePictures(form);
}

void ApplyLanguagePictures(TMForm& form) {
  TLanguageState& s = form.Language;
  if (s.Current == TLanguage::Russian) return;
  BringIn(form, s.Menus, s.MenusIn, *form.MDXImageList, "Res1");
  BringIn(form, s.Race, s.RaceIn, *form.MDXImageList3, "Res3");
}

void SetLanguage(TMForm& form, TLanguage language) {
  form.Language.Chosen = true;
  if (language == form.Language.Current) return;
  TakeOut(form);
  form.Language.Current = language;
  ApplyLanguagePictures(form);
}

TLanguage NextLanguage(TLanguage language) { return TLanguage((size_t(language) + 1) % std::size(Languages)); }
