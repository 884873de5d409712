#pragma once
// Saves are written whole or not at all: a temporary file beside the target, flushed,
// then renamed over it. The folder is created when it is missing.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

// Which step of a save went wrong.
enum class TSaveStep : uint8_t {
  NoName,      // the game asked for a file without a name
  MakeFolder,  // the file's folder could not be made
  FolderInWay, // a folder stands where the file goes
  Write,       // writing, flushing or renaming the file
};

// A failed save: the file's game path, the step and the system's error code; what()
// says it in the game's own words (Russian, Windows-1251), with the path as the platform
// writes it. The player is told in their language (TSaveFailures).
class ESaveError : public std::runtime_error {
 public:
  ESaveError(std::string gamePath, TSaveStep step, std::error_code code = {});
  const std::string& GamePath() const { return FGamePath; }
  TSaveStep Step() const { return FStep; }
  std::error_code Code() const { return FCode; }

 private:
  std::string FGamePath;
  TSaveStep FStep;
  std::error_code FCode;
};

void WriteFileAtomically(const std::string& gamePath, const std::string& bytes);
