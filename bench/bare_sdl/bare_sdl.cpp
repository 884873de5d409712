// The floor any SDL game of this size pays: a program of SDL alone, its window set up as
// the game's is (same size, renderer and texture format).
//   bare_sdl              presents an 800 x 600 16-bit picture every 15 ms, on the game's
//                         frame clock, until SIGTERM (SDL turns it into a quit event),
//                         then prints its presents
//   bare_sdl --start-up   opens the window, presents the picture once and prints where
//                         the time went, in ms from the start of main: the start-up floor
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point Start = Clock::now();

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

constexpr int Width = 800, Height = 600, FrameMs = 15;

// Which OpenGL does the work: under Xvfb a software one, whose drawing is the floor's CPU.
std::string Device(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer, &info);
  std::string device = info.name;
  if (std::strcmp(info.name, "opengl") == 0) {
    using TGetString = const unsigned char* (*)(unsigned);
    constexpr unsigned GlRenderer = 0x1F01;
    if (auto get = reinterpret_cast<TGetString>(SDL_GL_GetProcAddress("glGetString")))
      if (const unsigned char* name = get(GlRenderer))
        device += std::string(" (") + reinterpret_cast<const char*>(name) + ")";
  }
  return device;
}

}  // namespace

int main(int argc, char** argv) {
  const bool startUp = argc > 1 && std::strcmp(argv[1], "--start-up") == 0;
  double videoMs = 0, windowMs = 0, rendererMs = 0;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "bare_sdl: %s\n", SDL_GetError());
    return 1;
  }
  videoMs = Ms(Start);
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_Window* window = SDL_CreateWindow("bare SDL", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, Width,
                                        Height, SDL_WINDOW_HIDDEN);
  windowMs = Ms(Start);
#ifdef __EMSCRIPTEN__
  // The page's floor either way the page can present: WebGL, or with ?software SDL's
  // software renderer putting the picture on a 2D canvas, as the game does.
  const Uint32 flags = EM_ASM_INT({ return new URLSearchParams(location.search).has('software'); })
                           ? SDL_RENDERER_SOFTWARE
                           : 0;
#else
  const Uint32 flags = 0;
#endif
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, flags) : nullptr;
  rendererMs = Ms(Start);
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565,
                                                      SDL_TEXTUREACCESS_STREAMING, Width, Height)
                                  : nullptr;
  if (!texture) {
    std::fprintf(stderr, "bare_sdl: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_RenderSetLogicalSize(renderer, Width, Height);
  SDL_ShowWindow(window);

  // Diagonal colour bands: a picture with something in every row (the start-up
  // benchmark knows it and watches for it).
  std::vector<uint16_t> picture(size_t(Width) * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) picture[size_t(y) * Width + x] = uint16_t((x + y) * 37);
  auto present = [&] {
    SDL_UpdateTexture(texture, nullptr, picture.data(), Width * int(sizeof(uint16_t)));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
  };
#ifdef __EMSCRIPTEN__
  // The page's floor: a present in every display frame that is due, the page's own loop.
  static auto frame = [&] {
    static uint32_t due = SDL_GetTicks();
    static bool first = true;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    if (int32_t(SDL_GetTicks() - due) < 0) return;
    present();
    if (first) EM_ASM({ Module.firstPicture = performance.now(); });
    first = false;
    due += FrameMs;
    if (int32_t(SDL_GetTicks() - due) > FrameMs) due = SDL_GetTicks();
  };
  emscripten_set_main_loop([] { frame(); }, 0, 1);
#endif

  if (startUp) {
    const double before = Ms(Start);
    present();
    const double total = Ms(Start);
    std::printf("total %.3f video %.3f window %.3f renderer %.3f show %.3f present %.3f\n", total, videoMs,
                windowMs - videoMs, rendererMs - windowMs, before - rendererMs, total - before);
    SDL_Quit();
    return 0;
  }

  // The game's frame clock: a frame once at least 15 ms have passed since the last one,
  // the wait for it spent in SDL's event wait, as the game's message loop spends it.
  uint64_t presents = 0;
  uint32_t last = SDL_GetTicks() - FrameMs;
  for (bool quit = false; !quit;) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT) quit = true;
    if (SDL_GetTicks() - last >= uint32_t(FrameMs)) {
      last = SDL_GetTicks();
      present();
      ++presents;
    }
    const uint32_t passed = SDL_GetTicks() - last;
    if (passed < uint32_t(FrameMs) && SDL_WaitEventTimeout(&event, int(uint32_t(FrameMs) - passed)) &&
        event.type == SDL_QUIT)
      quit = true;
  }
  std::printf("presents %llu renderer %s\n", static_cast<unsigned long long>(presents), Device(renderer).c_str());
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
