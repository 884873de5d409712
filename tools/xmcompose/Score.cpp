#include "tools/xmcompose/Score.h"

#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tools/xmcompose/Instruments.h"

namespace xm {
namespace {

struct TChannel {
  std::string Name;
  std::string Instrument;
};

class TScoreReader {
 public:
  TScoreReader(const std::string& fileName) : FileName(fileName) {}

  TModule Read(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      ++Line;
      // "#" opens a comment only at a word's start: "G#4" is a note.
      for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || std::isspace(uint8_t(line[i - 1])))) {
          line.erase(i);
          break;
        }
      std::istringstream words(line);
      std::string keyword;
      if (!(words >> keyword)) continue;
      std::string rest;
      std::getline(words, rest);
      Statement(keyword, Trim(rest));
    }
    if (!CurrentPattern.empty()) FinishPattern();
    if (Module.Orders.empty()) Fail("no order line");
    return Module;
  }

 private:
  std::string FileName;
  int Line = 0;
  TModule Module;
  std::vector<TChannel> Channels;
  std::map<std::string, int> InstrumentIndex;  // 1-based
  std::map<std::string, std::string> Macros;
  std::map<std::string, int> PatternIndex;
  std::string CurrentPattern;
  int Rows = 64;

  [[noreturn]] void Fail(const std::string& message) const {
    throw std::runtime_error(FileName + ":" + std::to_string(Line) + ": " + message);
  }

  static std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
  }

  int Number(const std::string& s) const {
    try {
      size_t used = 0;
      int v = std::stoi(s, &used);
      if (used == s.size()) return v;
    } catch (const std::exception&) {
    }
    Fail("not a number: " + s);
  }

  void Statement(const std::string& keyword, const std::string& rest) {
    if (keyword == "name") {
      Module.Name = rest;
    } else if (keyword == "speed") {
      Module.Speed = Number(rest);
    } else if (keyword == "bpm") {
      Module.Bpm = Number(rest);
    } else if (keyword == "rows") {
      Rows = Number(rest);
      if (Rows < 1 || Rows > 256) Fail("rows must be 1..256");
    } else if (keyword == "instrument") {
      DefineInstrument(rest);
    } else if (keyword == "channels") {
      DefineChannels(rest);
    } else if (keyword == "def") {
      std::istringstream words(rest);
      std::string name, body;
      words >> name;
      std::getline(words, body);
      Macros[name] = Trim(body);
    } else if (keyword == "pattern") {
      if (!CurrentPattern.empty()) FinishPattern();
      if (Channels.empty()) Fail("channels must come before the first pattern");
      if (PatternIndex.count(rest)) Fail("pattern defined twice: " + rest);
      CurrentPattern = rest;
      PatternIndex[rest] = int(Module.Patterns.size());
      TPattern p;
      p.Rows = Rows;
      p.Cells.assign(size_t(Rows) * Channels.size(), TCell{});
      Module.Patterns.push_back(std::move(p));
    } else if (keyword == "order") {
      std::istringstream words(rest);
      std::string name;
      while (words >> name) {
        auto it = PatternIndex.find(name);
        if (it == PatternIndex.end()) Fail("unknown pattern in order: " + name);
        Module.Orders.push_back(uint8_t(it->second));
      }
    } else if (keyword.back() == ':') {
      ChannelLine(keyword.substr(0, keyword.size() - 1), rest);
    } else {
      Fail("unknown statement: " + keyword);
    }
  }

  void DefineInstrument(const std::string& rest) {
    std::istringstream words(rest);
    std::string name, setting;
    words >> name;
    if (name.empty()) Fail("instrument needs a name");
    TSettings settings;
    while (words >> setting) {
      auto eq = setting.find('=');
      if (eq == std::string::npos) Fail("expected key=value: " + setting);
      settings[setting.substr(0, eq)] = setting.substr(eq + 1);
    }
    try {
      Module.Instruments.push_back(MakeInstrument(name, settings));
    } catch (const std::runtime_error& e) {
      Fail(e.what());
    }
    InstrumentIndex[name] = int(Module.Instruments.size());
  }

  void DefineChannels(const std::string& rest) {
    std::istringstream words(rest);
    std::string entry;
    while (words >> entry) {
      auto colon = entry.find(':');
      if (colon == std::string::npos) Fail("expected channel:instrument: " + entry);
      TChannel ch{entry.substr(0, colon), entry.substr(colon + 1)};
      if (!InstrumentIndex.count(ch.Instrument)) Fail("unknown instrument: " + ch.Instrument);
      Channels.push_back(ch);
    }
    Module.Channels = int(Channels.size());
  }

  void FinishPattern() { CurrentPattern.clear(); }

  // "$name" anywhere, also inside a repeat group, stands for its definition.
  std::string Expand(const std::string& tokens, int depth = 0) const {
    if (depth > 8) Fail("macros nest too deep");
    std::string out;
    for (size_t i = 0; i < tokens.size();) {
      if (tokens[i] != '$') {
        out += tokens[i++];
        continue;
      }
      size_t start = ++i;
      while (i < tokens.size() && (std::isalnum(uint8_t(tokens[i])) || tokens[i] == '_')) ++i;
      auto it = Macros.find(tokens.substr(start, i - start));
      if (it == Macros.end()) Fail("unknown macro: $" + tokens.substr(start, i - start));
      out += " " + Expand(it->second, depth + 1) + " ";
    }
    return out;
  }

  // "(a b c)x4" repeats its contents; groups may nest.
  std::vector<std::string> Unroll(const std::string& text) const {
    std::vector<std::string> out;
    size_t i = 0;
    Unroll(text, i, out, false);
    return out;
  }

  void Unroll(const std::string& s, size_t& i, std::vector<std::string>& out, bool inGroup) const {
    while (i < s.size()) {
      char c = s[i];
      if (std::isspace(uint8_t(c))) {
        ++i;
      } else if (c == '(') {
        ++i;
        std::vector<std::string> inner;
        Unroll(s, i, inner, true);
        int times = 1;
        if (i < s.size() && s[i] == 'x') {
          size_t start = ++i;
          while (i < s.size() && std::isdigit(uint8_t(s[i]))) ++i;
          times = Number(s.substr(start, i - start));
        }
        for (int t = 0; t < times; ++t) out.insert(out.end(), inner.begin(), inner.end());
      } else if (c == ')') {
        if (!inGroup) Fail("unbalanced )");
        ++i;
        return;
      } else {
        size_t start = i;
        while (i < s.size() && !std::isspace(uint8_t(s[i])) && s[i] != '(' && s[i] != ')') ++i;
        out.push_back(s.substr(start, i - start));
      }
    }
    if (inGroup) Fail("unbalanced (");
  }

  uint8_t ParseNote(const std::string& t, size_t& i) const {
    static const int semitone[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    char letter = char(std::toupper(uint8_t(t[i])));
    if (letter < 'A' || letter > 'G') Fail("bad note: " + t);
    int n = semitone[letter - 'A'];
    ++i;
    if (i < t.size() && t[i] == '#') { ++n; ++i; }
    if (i >= t.size() || !std::isdigit(uint8_t(t[i]))) Fail("note needs an octave: " + t);
    int octave = t[i++] - '0';
    int value = octave * 12 + n + 1;
    if (value < 1 || value > 96) Fail("note out of range: " + t);
    return uint8_t(value);
  }

  void ChannelLine(const std::string& channelName, const std::string& rest) {
    if (CurrentPattern.empty()) Fail("channel line outside a pattern");
    int channel = -1;
    for (size_t c = 0; c < Channels.size(); ++c)
      if (Channels[c].Name == channelName) channel = int(c);
    if (channel < 0) Fail("unknown channel: " + channelName);
    TPattern& pattern = Module.Patterns.back();
    int instrument = InstrumentIndex.at(Channels[channel].Instrument);
    int row = 0;
    for (const std::string& token : Unroll(Expand(rest))) {
      if (token == "|") continue;
      if (token[0] == '@') {
        auto it = InstrumentIndex.find(token.substr(1));
        if (it == InstrumentIndex.end()) Fail("unknown instrument: " + token);
        instrument = it->second;
        continue;
      }
      TCell cell;
      size_t i = 0;
      if (token[0] == '.') {
        i = 1;
      } else if (token[0] == '=') {
        cell.Note = KeyOff;
        i = 1;
      } else if (token[0] == 'x') {
        cell.Note = 49;  // drums sound as recorded at C-4
        cell.Instrument = uint8_t(instrument);
        i = 1;
      } else {
        cell.Note = ParseNote(token, i);
        cell.Instrument = uint8_t(instrument);
      }
      if (i < token.size() && token[i] == 'v') {
        size_t start = ++i;
        while (i < token.size() && std::isdigit(uint8_t(token[i]))) ++i;
        int v = Number(token.substr(start, i - start));
        if (v < 0 || v > 64) Fail("volume must be 0..64: " + token);
        cell.Volume = uint8_t(0x10 + v);
      }
      int length = 1;
      if (i < token.size() && token[i] == ':') {
        length = Number(token.substr(i + 1));
        i = token.size();
      }
      if (i != token.size() || length < 1) Fail("bad token: " + token);
      if (row + length > pattern.Rows)
        Fail("channel " + channelName + " runs past row " + std::to_string(pattern.Rows));
      pattern.Cells[size_t(row) * Channels.size() + channel] = cell;
      row += length;
    }
    if (row != pattern.Rows)
      Fail("channel " + channelName + " fills " + std::to_string(row) + " of " +
           std::to_string(pattern.Rows) + " rows");
  }
};

}  // namespace

TModule ReadScore(const std::string& text, const std::string& fileName) {
  return TScoreReader(fileName).Read(text);
}

}  // namespace xm
