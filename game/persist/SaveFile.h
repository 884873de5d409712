#pragma once
// Saves are written whole or not at all: a temporary file beside the target, flushed,
// then renamed over it. The folder is created when it is missing.
#include <stdexcept>
#include <string>

// What went wrong, with the file's game path, ready to show to the player.
class ESaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void WriteFileAtomically(const std::string& gamePath, const std::string& bytes);
