#include "media/Platform/System.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace Platform {

uint32_t TimeGetTime() { return uint32_t(SDL_GetTicks64()); }

bool IsHeadless() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = std::getenv("SDL_VIDEODRIVER");
  if (driver) {
    std::string_view d(driver);
    if (d == "dummy" || d == "offscreen" || d == "evdev") return true;
  }
  return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

void ShowErrorMessage(const std::string& caption, const std::string& text) {
  // A message box blocks until answered, so never try one where nobody can see it.
  if (!IsHeadless() &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) == 0)
    return;
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

TSystemLifetime::~TSystemLifetime() { SDL_Quit(); }

}  // namespace Platform
