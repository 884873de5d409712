#include "tools/run/Script.h"

#include <cctype>
#include <limits>
#include <sstream>

#include "media/Platform/Text.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

uint32_t ParseNumber(const std::string& word, int line, uint32_t low, uint32_t high) {
  if (word.empty() || word.size() > 10) throw EScriptError(line, "bad number '" + word + "'");
  uint64_t value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') throw EScriptError(line, "bad number '" + word + "'");
    value = value * 10 + uint64_t(c - '0');
  }
  if (value < low || value > high)
    throw EScriptError(line, "number " + word + " out of range " + std::to_string(low) + ".." +
                                 std::to_string(high));
  return uint32_t(value);
}

// The key letters in capitals; either case is taken.
std::string ParseKeys(const std::string& word, int line) {
  if (word == "-") return "";
  std::string keys;
  for (char c : word) {
    const char key = char(std::toupper(static_cast<unsigned char>(c)));
    if (std::string("UDLRFPEYNC").find(key) == std::string::npos)
      throw EScriptError(line, std::string("unknown key '") + c + "'");
    keys += key;
  }
  return keys;
}

}  // namespace

std::vector<TScriptCommand> ParseScript(std::istream& in) {
  std::vector<TScriptCommand> commands;
  std::string raw;
  int line = 0;
  bool framesBegun = false;
  while (std::getline(in, raw)) {
    ++line;
    if (size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
    const std::string text = Trim(raw);
    if (text.empty()) continue;
    std::istringstream words(text);
    std::string name;
    words >> name;
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(w);
    auto expect = [&](size_t n) {
      if (args.size() != n)
        throw EScriptError(line, "'" + name + "' takes " + std::to_string(n) + " argument" +
                                     (n == 1 ? "" : "s"));
    };
    TScriptCommand c;
    c.Line = line;
    if (name == "seed") {
      expect(1);
      c.Kind = TScriptCommand::Seed;
      c.Number = ParseNumber(args[0], line, 0, std::numeric_limits<uint32_t>::max());
    } else if (name == "boat") {
      expect(1);
      c.Kind = TScriptCommand::Boat;
      c.Number = ParseNumber(args[0], line, 1, 3);
    } else if (name == "hold") {
      expect(2);
      c.Kind = TScriptCommand::Hold;
      c.Keys = ParseKeys(args[0], line);
      c.Number = ParseNumber(args[1], line, 0, std::numeric_limits<int32_t>::max());
    } else if (name == "type") {
      c.Kind = TScriptCommand::Type;
      // The text is the rest of the line after one space.
      c.Text = Platform::Utf8ToCp1251(Trim(text.substr(name.size())));
    } else if (name == "enter") {
      expect(0);
      c.Kind = TScriptCommand::Enter;
    } else {
      throw EScriptError(line, "unknown command '" + name + "'");
    }
    const bool setup = c.Kind == TScriptCommand::Seed || c.Kind == TScriptCommand::Boat;
    if (setup && framesBegun) throw EScriptError(line, "'" + name + "' must come before the race starts");
    framesBegun = framesBegun || !setup;
    commands.push_back(std::move(c));
  }
  return commands;
}
