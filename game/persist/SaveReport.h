#pragma once
// Failed saves told to the player in the game's words, once per exit.
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "game/language/Texts.h"
#include "game/persist/SaveFile.h"

// "<path>: <what went wrong>" in Windows-1251, the path as the platform writes it.
std::string SaveFailureLine(const std::string& gamePath, TSaveStep step, std::error_code code,
                            const TTexts& texts);

// The saves of one exit. A file saved twice (on quitting and again as the window goes)
// counts by its last attempt, so each failure is told once.
class TSaveFailures {
 public:
  // Runs a save of the file: a failure is kept, a success forgets an earlier failure.
  void Run(const std::string& gamePath, const std::function<void()>& save);
  bool Empty() const { return Failures.empty(); }
  // One text naming every file that failed (Windows-1251); empty when none did.
  std::string Message(const TTexts& texts) const;
  void Clear() { Failures.clear(); }

 private:
  std::vector<ESaveError> Failures;  // in the order the files first failed
};
