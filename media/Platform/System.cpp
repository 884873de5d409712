#include "media/Platform/System.h"

#include <SDL.h>

#include <cstdio>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include "media/Platform/Paths.h"
#endif

namespace Platform {

uint32_t TimeGetTime() { return uint32_t(SDL_GetTicks64()); }

bool IsHeadless() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = SDL_getenv("SDL_VIDEODRIVER");
  if (driver) {
    std::string_view d(driver);
    if (d == "dummy" || d == "offscreen" || d == "evdev") return true;
  }
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
  return false;  // Windows always has its desktop, the browser its page
#else
  return !SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY");
#endif
}

void ShowErrorMessage(const std::string& caption, const std::string& text) {
  // A message box blocks until answered, so never try one where nobody can see it.
  if (!IsHeadless() &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) == 0)
    return;
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void SetEnvironment(const std::string& name, const std::string& value) {
  SDL_setenv(name.c_str(), value.c_str(), 1);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc, (void)argv;
  std::vector<std::string> args;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) args.push_back(PathToUtf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
  }
  return args;
#else
  return std::vector<std::string>(argv, argv + argc);
#endif
}

void UseBinaryStandardStreams() {
#ifdef _WIN32
  std::fflush(stdout);
  std::fflush(stderr);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

TSystemLifetime::~TSystemLifetime() { SDL_Quit(); }

}  // namespace Platform
