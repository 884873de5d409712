#include "media/Platform/MainLoop.h"

#include <SDL.h>

#include <string>
#include <utility>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace Platform {

#ifdef __EMSCRIPTEN__

namespace {

std::function<bool()>& Frame() {
  static std::function<bool()> frame;
  return frame;
}

void RunFrame() {
  if (!Frame()()) {
    emscripten_cancel_main_loop();
    Frame() = nullptr;
  }
}

}  // namespace

void RunDisplayFrames(std::function<bool()> frame) {
  Frame() = std::move(frame);
  // The page's animation frames; returning keeps this program's objects alive, since
  // they do not live on the stack that unwinds.
  emscripten_set_main_loop(RunFrame, 0, 0);
}

bool InBrowser() { return true; }

void GameEnded() {
  EM_ASM({
    if (Module.sprayrushEnded) Module.sprayrushEnded();
  });
}

void PlayerFilesChanged() {
  // One copy to IndexedDB for all the changes of a frame (a replay kept, the old ones
  // removed), and another if more come while it runs.
  EM_ASM({
    const sync = () => {
      Module.sprayrushSyncing = true;
      Module.sprayrushSyncAgain = false;
      FS.syncfs(false, (error) => {
        Module.sprayrushSyncing = false;
        if (error) console.error('saving to IndexedDB failed', error);
        if (Module.sprayrushSyncAgain) sync();
      });
    };
    if (Module.sprayrushSyncing) {
      Module.sprayrushSyncAgain = true;
    } else if (!Module.sprayrushSyncQueued) {
      Module.sprayrushSyncQueued = true;
      setTimeout(() => {
        Module.sprayrushSyncQueued = false;
        sync();
      }, 0);
    }
  });
}

void PageLanguage(std::string_view code) {
  const std::string text(code);
  EM_ASM({
    if (Module.sprayrushLanguage) Module.sprayrushLanguage(UTF8ToString($0));
  }, text.c_str());
}

#else

void RunDisplayFrames(std::function<bool()> frame) {
  constexpr Uint64 FrameMs = 16;
  Uint64 next = SDL_GetTicks64();
  while (frame()) {
    next += FrameMs;
    const Uint64 now = SDL_GetTicks64();
    if (next > now)
      SDL_Delay(Uint32(next - now));
    else
      next = now;
  }
}

bool InBrowser() { return false; }

void GameEnded() {}

void PlayerFilesChanged() {}

void PageLanguage(std::string_view) {}

#endif

}  // namespace Platform
