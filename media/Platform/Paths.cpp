#include "media/Platform/Paths.h"

namespace Platform {

std::string NativePath(std::string_view gamePath) {
  std::string path(gamePath);
#ifndef _WIN32
  for (char& c : path)
    if (c == '\\') c = '/';
#endif
  return path;
}

}  // namespace Platform
