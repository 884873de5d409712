#include "tools/sprdata/Catalogue.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <set>

#include "tools/sprdata/TextUtil.h"

namespace {

struct TRule {
  std::string Key, Op, Value;
};

TRule SplitRule(const TSourceLine& line, const std::string& word, bool sound) {
  size_t at = 0;
  while (at < word.size() && (std::isalpha(static_cast<unsigned char>(word[at])))) ++at;
  size_t end = at;
  while (end < word.size() && (word[end] == '<' || word[end] == '>' || word[end] == '=')) ++end;
  TRule rule{word.substr(0, at), word.substr(at, end - at), word.substr(end)};
  static const char* Ops[] = {"=", "<", "<=", ">", ">="};
  bool known = false;
  for (auto* op : Ops) known = known || rule.Op == op;
  if (rule.Key.empty() || !known || rule.Value.empty()) line.Fail("'" + word + "' is not a rule like count>=5");
  static const std::set<std::string> PictureRules = {"count", "width", "height", "size", "smaller", "tile", "words"};
  static const std::set<std::string> SoundRules = {"looped", "max"};
  if (!(sound ? SoundRules : PictureRules).count(rule.Key)) line.Fail("unknown rule '" + rule.Key + "'");
  return rule;
}

bool Compare(int a, const std::string& op, int b) {
  if (op == "=") return a == b;
  if (op == "<") return a < b;
  if (op == "<=") return a <= b;
  if (op == ">") return a > b;
  return a >= b;
}

template <class T>
const T* FindByName(const std::vector<T>& items, const std::string& name) {
  // The later of two equal names wins, as in the game's index.
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if (LowerCase(it->Name) == LowerCase(name)) return &*it;
  return nullptr;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// Mean difference of the top and bottom rows of the first pattern.
double SeamDifference(const TLibraryPicture& picture) {
  const TDIB pattern = picture.Pattern(0);
  const int h = pattern.Height(), w = pattern.Width();
  double sum = 0;
  for (int x = 0; x < w; ++x) {
    const uint32_t a = pattern.Pixel(x, 0), b = pattern.Pixel(x, h - 1);
    for (int shift = 0; shift < 24; shift += 8) sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
  }
  return w > 0 ? sum / (3.0 * w) : 0;
}

// What a language's picture must share with the one it stands in for, as text.
std::string Layout(const TLibraryPicture& p) {
  std::string s = std::to_string(p.Dib.Width()) + "x" + std::to_string(p.Dib.Height()) + " pattern " +
                  std::to_string(p.Width()) + "x" + std::to_string(p.Height()) + " x " +
                  std::to_string(p.PatternCount()) + " skip " + std::to_string(p.SkipWidth) + "x" +
                  std::to_string(p.SkipHeight) + " " + std::to_string(p.Bits) + " bits key ";
  if (!p.Transparent) return s + "none";
  char key[8];
  std::snprintf(key, sizeof key, "%06X", unsigned(p.TransparentColor));
  return s + key;
}

// The language folders' stand-ins for one picture with words.
void CheckWords(const TBuiltData& data, const std::string& library, const TLibraryPicture& picture,
                const std::string& where, std::vector<std::string>& problems) {
  for (const TLanguagePictures& language : data.LanguageFolders) {
    const auto& pictures = library == "Res1" ? language.Res1 : language.Res3;
    const std::string file = language.Folder + "/" + library + ".dxg";
    const TLibraryPicture* own = FindByName(pictures, picture.Name);
    if (!own)
      problems.push_back(file + ": picture '" + picture.Name + "' is missing; it carries words" + where);
    else if (Layout(*own) != Layout(picture))
      problems.push_back(file + ": '" + picture.Name + "' is " + Layout(*own) + ", wanted as " + library + ".dxg's " +
                         Layout(picture) + where);
  }
}

}  // namespace

std::vector<std::string> CheckCatalogue(const std::string& cataloguePath, const TBuiltData& data) {
  std::vector<std::string> problems;
  std::set<std::string> words;  // "Res1 name", lower case
  for (const auto& line : ReadSourceLines(cataloguePath)) {
    if (line.Words.size() < 2) line.Fail("expected: <library> <Name> [rules]");
    const std::string& library = line.Words[0];
    const std::string& name = line.Words[1];
    const std::string where = " (" + line.File + ":" + std::to_string(line.Line) + ")";
    if (library == "Sounds") {
      const TWaveEntry* sound = FindByName(data.Sounds, name);
      std::vector<TRule> rules;
      for (size_t i = 2; i < line.Words.size(); ++i) rules.push_back(SplitRule(line, line.Words[i], true));
      if (!sound) {
        problems.push_back("Sounds.dxw: sound '" + name + "' is missing" + where);
        continue;
      }
      for (const auto& rule : rules) {
        if (rule.Key == "looped" && rule.Op == "=") {
          const bool want = ParseYesNo(line, rule.Key, rule.Value);
          if (sound->Looped != want)
            problems.push_back("Sounds.dxw: '" + name + "' must " + (want ? "" : "not ") + "be looped" + where);
        } else if (rule.Key == "max") {
          const int want = ParseInt(line, rule.Key, rule.Value, 0, 1000);
          if (!Compare(sound->MaxPlayingCount, rule.Op, want))
            problems.push_back("Sounds.dxw: '" + name + "' has MaxPlayingCount " + std::to_string(sound->MaxPlayingCount) +
                               ", wanted max" + rule.Op + rule.Value + where);
        } else {
          line.Fail("unknown sound rule '" + rule.Key + rule.Op + "'");
        }
      }
      continue;
    }
    const std::vector<TLibraryPicture>* pictures = library == "Res1"        ? &data.Res1
                                                   : library == "Res3"      ? &data.Res3
                                                   : library == "Languages" ? &data.Languages
                                                                            : nullptr;
    if (!pictures) line.Fail("unknown library '" + library + "' (Res1, Res3, Languages or Sounds)");
    const std::string file = library + ".dxg";
    std::vector<TRule> rules;
    for (size_t i = 2; i < line.Words.size(); ++i) rules.push_back(SplitRule(line, line.Words[i], false));
    const TLibraryPicture* picture = FindByName(*pictures, name);
    if (!picture) {
      problems.push_back(file + ": picture '" + name + "' is missing" + where);
      continue;
    }
    auto size = [](const TLibraryPicture& p, const std::string& what) {
      return what == "count" ? p.PatternCount() : what == "width" ? p.Width() : p.Height();
    };
    for (const auto& rule : rules) {
      if (rule.Key == "count" || rule.Key == "width" || rule.Key == "height") {
        int want = 0;
        std::string wantText = rule.Value;
        if (IsNumber(rule.Value)) {
          want = ParseInt(line, rule.Key, rule.Value, 0, 100000);
        } else {
          const TLibraryPicture* other = FindByName(*pictures, rule.Value);
          if (!other) {
            problems.push_back(file + ": '" + name + "' is measured against '" + rule.Value + "', which is missing" + where);
            continue;
          }
          want = size(*other, rule.Key);
          wantText = rule.Value + "'s " + std::to_string(want);
        }
        const int have = size(*picture, rule.Key);
        if (!Compare(have, rule.Op, want))
          problems.push_back(file + ": '" + name + "' has " + rule.Key + " " + std::to_string(have) + ", wanted " + rule.Key +
                             rule.Op + wantText + where);
      } else if ((rule.Key == "size" || rule.Key == "smaller") && rule.Op == "=") {
        const TLibraryPicture* other = FindByName(*pictures, rule.Value);
        if (!other) {
          problems.push_back(file + ": '" + name + "' is measured against '" + rule.Value + "', which is missing" + where);
          continue;
        }
        const bool ok = rule.Key == "size" ? picture->Width() == other->Width() && picture->Height() == other->Height()
                                           : picture->Width() < other->Width() && picture->Height() < other->Height();
        if (!ok)
          problems.push_back(file + ": '" + name + "' is " + std::to_string(picture->Width()) + "x" +
                             std::to_string(picture->Height()) + ", wanted " +
                             (rule.Key == "size" ? "the size of '" : "smaller than '") + rule.Value + "' (" +
                             std::to_string(other->Width()) + "x" + std::to_string(other->Height()) + ")" + where);
      } else if (rule.Key == "tile" && rule.Op == "=") {
        const int span = ParseInt(line, rule.Key, rule.Value, 1, 100000);
        const int h = picture->Height();
        if (h <= 0 || span % h != 0) {
          problems.push_back(file + ": '" + name + "' is " + std::to_string(h) + " high, which does not divide " +
                             rule.Value + where);
          continue;
        }
        const double seam = SeamDifference(*picture);
        if (seam > TileTolerance) {
          char text[64];
          std::snprintf(text, sizeof text, "%.1f", seam);
          problems.push_back(file + ": '" + name + "' does not tile: its top and bottom rows differ by " + text +
                             " on average (at most " + std::to_string(int(TileTolerance)) + ")" + where);
        }
      } else if (rule.Key == "words" && rule.Op == "=" && library != "Languages") {
        if (!ParseYesNo(line, rule.Key, rule.Value)) continue;
        words.insert(library + " " + LowerCase(name));
        CheckWords(data, library, *picture, where, problems);
      } else {
        line.Fail("unknown picture rule '" + rule.Key + rule.Op + "'");
      }
    }
  }
  // A language folder is only the pictures with words: every byte of it is downloaded.
  for (const TLanguagePictures& language : data.LanguageFolders)
    for (const char* library : {"Res1", "Res3"})
      for (const TLibraryPicture& p : std::string(library) == "Res1" ? language.Res1 : language.Res3)
        if (!words.count(library + std::string(" ") + LowerCase(p.Name)))
          problems.push_back(language.Folder + "/" + library + ".dxg: '" + p.Name +
                             "' stands in for no picture with words in " + cataloguePath);
  return problems;
}
