// The floor any SDL game of this size pays: a program of SDL alone that uploads and
// presents an 800 x 600 16-bit picture every 15 ms, set up as the game's window is.
// Runs until SIGTERM (SDL turns it into a quit event), then prints its presents.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

int main(int, char**) {
  constexpr int Width = 800, Height = 600, FrameMs = 15;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "bare_sdl: %s\n", SDL_GetError());
    return 1;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_Window* window = SDL_CreateWindow("bare SDL", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        Width, Height, 0);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
  SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565,
                                                      SDL_TEXTUREACCESS_STREAMING, Width, Height)
                                  : nullptr;
  if (!texture) {
    std::fprintf(stderr, "bare_sdl: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_RenderSetLogicalSize(renderer, Width, Height);
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer, &info);
  // Which OpenGL does the work: under Xvfb a software one, whose drawing is the floor's CPU.
  std::string device;
  if (std::strcmp(info.name, "opengl") == 0) {
    using TGetString = const unsigned char* (*)(unsigned);
    constexpr unsigned GlRenderer = 0x1F01;
    if (auto get = reinterpret_cast<TGetString>(SDL_GL_GetProcAddress("glGetString")))
      if (const unsigned char* name = get(GlRenderer))
        device = std::string(" (") + reinterpret_cast<const char*>(name) + ")";
  }

  // Diagonal colour bands: a picture with something in every row.
  std::vector<uint16_t> picture(size_t(Width) * Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) picture[size_t(y) * Width + x] = uint16_t((x + y) * 37);

  uint64_t presents = 0;
  auto present = [&] {
    SDL_UpdateTexture(texture, nullptr, picture.data(), Width * int(sizeof(uint16_t)));
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    ++presents;
  };
#ifdef __EMSCRIPTEN__
  // The page's floor: a present in every display frame that is due, the page's own loop.
  static auto frame = [&] {
    static uint32_t due = SDL_GetTicks();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    if (int32_t(SDL_GetTicks() - due) < 0) return;
    present();
    if (presents == 1) EM_ASM({ Module.firstPicture = performance.now(); });
    due += FrameMs;
    if (int32_t(SDL_GetTicks() - due) > FrameMs) due = SDL_GetTicks();
  };
  emscripten_set_main_loop([] { frame(); }, 0, 1);
#endif
  uint32_t due = SDL_GetTicks();
  for (bool quit = false; !quit;) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT) quit = true;
    present();
    due += FrameMs;
    const int32_t wait = int32_t(due - SDL_GetTicks());
    if (wait > 0)
      SDL_Delay(uint32_t(wait));
    else
      due = SDL_GetTicks();  // behind: no burst of frames to catch up
  }
  std::printf("presents %llu renderer %s%s\n", static_cast<unsigned long long>(presents), info.name,
              device.c_str());
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
