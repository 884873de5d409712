#include "tools/sprdata/Manifest.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "tools/sprdata/TextUtil.h"

void TSourceLine::Fail(std::string_view what) const {
  throw EDataError(File + ":" + std::to_string(Line) + ": " + std::string(what));
}

bool TSourceLine::SplitField(const std::string& word, std::string& key, std::string& value) {
  const auto eq = word.find('=');
  if (eq == std::string::npos) return false;
  key = word.substr(0, eq);
  value = word.substr(eq + 1);
  return true;
}

std::vector<TSourceLine> ReadSourceLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EDataError(path + ": cannot open");
  std::vector<TSourceLine> lines;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    TSourceLine line{path, number, {}};
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
      if (word[0] == '#') break;
      line.Words.push_back(word);
    }
    if (!line.Words.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

int32_t ParseInt(const TSourceLine& line, std::string_view field, const std::string& value,
                 int32_t min, int32_t max) {
  int64_t v = 0;
  const auto* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, v);
  if (value.empty() || ec != std::errc() || ptr != end)
    line.Fail(std::string(field) + ": '" + value + "' is not a whole number");
  if (v < min || v > max)
    line.Fail(std::string(field) + ": " + value + " is out of range " + std::to_string(min) + ".." +
              std::to_string(max));
  return static_cast<int32_t>(v);
}

double ParseNumber(const TSourceLine& line, std::string_view field, const std::string& value) {
  double v = 0;
  const auto* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, v);
  if (value.empty() || ec != std::errc() || ptr != end || !std::isfinite(v))
    line.Fail(std::string(field) + ": '" + value + "' is not a number");
  return v;
}

bool ParseYesNo(const TSourceLine& line, std::string_view field, const std::string& value) {
  if (value == "yes") return true;
  if (value == "no") return false;
  line.Fail(std::string(field) + ": '" + value + "' is neither yes nor no");
}

void ParseSize(const TSourceLine& line, std::string_view field, const std::string& value,
               int32_t& width, int32_t& height) {
  const auto x = value.find('x');
  if (x == std::string::npos) line.Fail(std::string(field) + ": '" + value + "' is not WxH");
  width = ParseInt(line, field, value.substr(0, x), 0, 65535);
  height = ParseInt(line, field, value.substr(x + 1), 0, 65535);
}

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void ApplyPictureField(const TSourceLine& line, const std::string& word, TPictureSource& entry) {
  std::string key, value;
  if (!TSourceLine::SplitField(word, key, value)) line.Fail("'" + word + "' is not a field=value");
  if (key == "pattern") {
    ParseSize(line, key, value, entry.PatternWidth, entry.PatternHeight);
    if (entry.PatternWidth == 0 || entry.PatternHeight == 0) line.Fail("pattern: size must not be 0");
  } else if (key == "skip") {
    ParseSize(line, key, value, entry.SkipWidth, entry.SkipHeight);
  } else if (key == "key") {
    if (value == "none") {
      entry.Key.reset();
    } else {
      const auto rgb = ParseHexColor(value);
      if (!rgb) line.Fail("key: '" + value + "' is neither #RRGGBB nor none");
      entry.Key = *rgb;
    }
  } else if (key == "bits") {
    const int bits = ParseInt(line, key, value, 0, 32);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
      line.Fail("bits: " + value + " is not one of 8, 16, 24, 32");
    entry.Bits = bits;
  } else {
    line.Fail("unknown field '" + key + "'");
  }
}

std::vector<TPictureSource> ReadPictureManifest(const std::string& path, std::vector<std::string>* errors) {
  std::vector<TPictureSource> entries;
  std::set<std::string> names;
  const std::string dir = DirName(path);
  for (const auto& line : ReadSourceLines(path)) {
    try {
      if (line.Words.size() < 2) line.Fail("expected: <Name> <source> [fields]");
      TPictureSource entry;
      entry.Name = line.Words[0];
      entry.Source = JoinPath(dir, line.Words[1]);
      entry.File = line.File;
      entry.Line = line.Line;
      if (entry.Name.find('=') != std::string::npos) line.Fail("expected a name before the fields");
      if (!names.insert(LowerCase(entry.Name)).second) line.Fail("'" + entry.Name + "' is listed twice");
      for (size_t i = 2; i < line.Words.size(); ++i) ApplyPictureField(line, line.Words[i], entry);
      if (!FileExists(entry.Source)) line.Fail("source '" + line.Words[1] + "' not found");
      entries.push_back(std::move(entry));
    } catch (const EDataError& e) {
      if (!errors) throw;
      errors->push_back(e.what());
    }
  }
  return entries;
}

std::vector<TSoundSource> ReadSoundManifest(const std::string& path) {
  std::vector<TSoundSource> entries;
  std::set<std::string> names;
  const std::string dir = DirName(path);
  for (const auto& line : ReadSourceLines(path)) {
    if (line.Words.size() < 2) line.Fail("expected: <Name> <description> [fields]");
    TSoundSource entry;
    entry.Name = line.Words[0];
    entry.Description = JoinPath(dir, line.Words[1]);
    entry.File = line.File;
    entry.Line = line.Line;
    if (!names.insert(LowerCase(entry.Name)).second) line.Fail("'" + entry.Name + "' is listed twice");
    for (size_t i = 2; i < line.Words.size(); ++i) {
      std::string key, value;
      if (!TSourceLine::SplitField(line.Words[i], key, value))
        line.Fail("'" + line.Words[i] + "' is not a field=value");
      if (key == "looped") entry.Looped = ParseYesNo(line, key, value);
      else if (key == "max") entry.MaxPlayingCount = ParseInt(line, key, value, 0, 64);
      else line.Fail("unknown field '" + key + "'");
    }
    if (!FileExists(entry.Description)) line.Fail("description '" + line.Words[1] + "' not found");
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string DirName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string JoinPath(const std::string& dir, const std::string& relative) {
  if (dir.empty() || (!relative.empty() && relative[0] == '/')) return relative;
  return dir + "/" + relative;
}
