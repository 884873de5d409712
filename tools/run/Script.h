#pragma once
// The runner's script: one command a line, '#' starts a comment.
//   seed N        the random generator's seed, before the race starts (default 1)
//   boat N        the boat chosen on the boat screen, 1 to 3 (default 1)
//   hold KEYS N   hold KEYS for N frames; KEYS is '-' or letters of U D L R (arrows),
//                 F (fire), P (pause), E (Escape), Y, N, C (Ctrl), in either case
//   type TEXT     the typed characters (UTF-8) as the window delivers them, then a frame
//   enter         the Enter key, then a frame
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

struct TScriptCommand {
  enum TKind { Seed, Boat, Hold, Type, Enter } Kind = Hold;
  int Line = 0;
  uint32_t Number = 0;  // seed, boat, frames to hold
  std::string Keys;     // hold: the key letters, without '-'
  std::string Text;     // type: Windows-1251 bytes
};

class EScriptError : public std::runtime_error {
 public:
  EScriptError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), Line(line) {}
  int Line;
};

// Reads the whole script; the first bad line raises EScriptError with its number.
std::vector<TScriptCommand> ParseScript(std::istream& in);
