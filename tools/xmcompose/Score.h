#pragma once
// Reads a tune written as text (see assets/music/README.md) into a module.
#include <string>

#include "tools/xmcompose/XmWriter.h"

namespace xm {

// Throws std::runtime_error with "file:line: message".
TModule ReadScore(const std::string& text, const std::string& fileName);

}  // namespace xm
