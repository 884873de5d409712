// One race-like frame on the software surface, and SDL's own colour-keyed blit of the
// same sprites for comparison. Run without a display: SDL_VIDEODRIVER=dummy is set.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/DXRender/DXRender.h"
#include "media/DXDraws/Surface.h"
#include "media/Platform/Window.h"

namespace {

constexpr int ScreenW = 800, ScreenH = 600;
constexpr int SpriteW = 40, SpriteH = 80, SpriteCount = 40;
constexpr int RotW = 84, RotH = 120;
constexpr uint16_t Key = 0xF81F;

struct TPlace {
  int X, Y, Pattern;
};

// Boat-like pictures: an ellipse of colour on the key, a quarter or so of them key.
void PaintEllipses(TDirectDrawSurface& s, int w, int h) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      const double dx = (x % w + 0.5 - w / 2.0) / (w / 2.0), dy = (y % h + 0.5 - h / 2.0) / (h / 2.0);
      s.Pixels()[y * s.Pitch() + x] =
          dx * dx + dy * dy <= 1.0 ? uint16_t(0x0841 * ((x / w) + 3) + y) : Key;
    }
  s.SetColorKey(Key);
}

struct TScene {
  TDirectDrawSurface Back{ScreenW, ScreenH};
  TDirectDrawSurface Tile{200, 150};
  TDirectDrawSurface Sprites{4 * SpriteW, SpriteH};  // four patterns side by side
  TDirectDrawSurface Boat{RotW, RotH};
  std::vector<TPlace> Places;
  int Scroll = 0;

  TScene() {
    for (int i = 0; i < Tile.Width() * Tile.Height(); ++i) Tile.Pixels()[i] = uint16_t(i * 7);
    Tile.SetColorKey(Key);  // pictures are transparent by default, the backdrop too
    PaintEllipses(Sprites, SpriteW, SpriteH);
    PaintEllipses(Boat, RotW, RotH);
    uint32_t seed = 12345;
    auto next = [&](int n) { return int((seed = seed * 1103515245 + 12345) >> 8) % n; };
    for (int i = 0; i < SpriteCount; ++i)  // some reach past the edges
      Places.push_back({next(ScreenW + SpriteW) - SpriteW / 2, next(ScreenH + SpriteH) - SpriteH / 2,
                        i % 4});
  }

  TRect Pattern(int p) const { return {p * SpriteW, 0, (p + 1) * SpriteW, SpriteH}; }

  // The tiled background as the background sprite draws it: a 1 x 1 grid, shifted.
  void DrawBackground() {
    const int w = Tile.Width(), h = Tile.Height(), x = 0, y = Scroll;
    const int cols = (ScreenW + w) / w + 1, rows = (ScreenH + h) / h;
    for (int r = -1; r <= rows + 1; ++r)
      for (int c = -1; c <= cols; ++c)
        RenderDraw(Back, c * w + x % w, r * h + y % h, Tile, Tile.ClientRect(), true);
  }

  void DrawSprites() {
    for (const TPlace& p : Places)  // image sprites stretch into a rectangle of their own size
      RenderStretch(Back, {p.X, p.Y, p.X + SpriteW, p.Y + SpriteH}, Sprites, Pattern(p.Pattern),
                    true);
  }

  void DrawRotated() {
    const int angles[] = {13, 64 + 7, 200};
    for (int i = 0; i < 3; ++i)
      RenderRotate(Back, 250 + 150 * i, 420, RotW, RotH, Boat, Boat.ClientRect(), 0.5, 0.5,
                   angles[i], true, 255);
  }

  void DrawTexts() {
    TCanvas& canvas = Back.Canvas();
    static const char* const texts[] = {"Score", "12345", "Level 3", "Time 01:27", "Lives 2",
                                        "Speed", "\xC4\xE5\xED\xFC\xE3\xE8",  // cp1251 text
                                        "x2", "Gun", "Shield", "Engine", "Finish"};
    int i = 0;
    for (const char* t : texts) {
      canvas.Font.Name = i % 3 == 0 ? "Arial Black" : (i % 3 == 1 ? "Arial" : "Times New Roman");
      canvas.Font.Size = 10 + (i % 4) * 2;
      canvas.Font.Bold = i % 2 == 0;
      canvas.Font.Color = 0x00FFFFFF - uint32_t(i) * 0x101010;
      canvas.TextOut(10 + (i % 2) * 680, 20 + i * 45, t);
      ++i;
    }
    canvas.Release();
  }
};

// SDL stands in for the platform's upload: a streaming 5-6-5 texture on the window's renderer.
struct TUpload {
  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  TUpload() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    Window = SDL_CreateWindow("bench", 0, 0, ScreenW, ScreenH, SDL_WINDOW_HIDDEN);
    if (Window) Renderer = SDL_CreateRenderer(Window, -1, 0);
    if (Renderer)
      Texture = SDL_CreateTexture(Renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                  ScreenW, ScreenH);
  }
  ~TUpload() {
    if (Texture) SDL_DestroyTexture(Texture);
    if (Renderer) SDL_DestroyRenderer(Renderer);
    if (Window) SDL_DestroyWindow(Window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  void Upload(const TDirectDrawSurface& s) {
    SDL_UpdateTexture(Texture, nullptr, s.Pixels(), s.Pitch() * int(sizeof(uint16_t)));
  }
};

TScene& Scene() {
  static TScene scene;
  return scene;
}
TUpload& Upload() {
  static TUpload upload;
  return upload;
}

void BM_RaceFrame(benchmark::State& state) {
  TScene& s = Scene();
  TUpload& u = Upload();
  if (!u.Texture) return state.SkipWithError(SDL_GetError());
  for (auto _ : state) {
    s.Scroll = (s.Scroll + 3) % 600;
    s.Back.Fill(0);
    s.DrawBackground();
    s.DrawSprites();
    s.DrawRotated();
    s.DrawTexts();
    u.Upload(s.Back);
    benchmark::DoNotOptimize(s.Back.Pixels());
  }
}
BENCHMARK(BM_RaceFrame)->Unit(benchmark::kMicrosecond);

// The parts of the frame on their own.
void BM_FillAndBackground(benchmark::State& state) {
  TScene& s = Scene();
  for (auto _ : state) {
    s.Back.Fill(0);
    s.DrawBackground();
    benchmark::DoNotOptimize(s.Back.Pixels());
  }
}
BENCHMARK(BM_FillAndBackground)->Unit(benchmark::kMicrosecond);

void BM_Sprites(benchmark::State& state) {
  TScene& s = Scene();
  for (auto _ : state) {
    s.DrawSprites();
    benchmark::DoNotOptimize(s.Back.Pixels());
  }
}
BENCHMARK(BM_Sprites)->Unit(benchmark::kMicrosecond);

// SDL's keyed blit of the same sprites; with rle, its run-length-accelerated form, which
// skips the key runs it found once instead of testing every pixel.
void SdlSprites(benchmark::State& state, bool rle) {
  TScene& s = Scene();
  // The same pixels in SDL surfaces of the same 5-6-5 format, with SDL's colour key.
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, ScreenW, ScreenH, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, s.Sprites.Width(), s.Sprites.Height(), 16,
                                                    SDL_PIXELFORMAT_RGB565);
  if (!dest || !src) return state.SkipWithError(SDL_GetError());
  for (int y = 0; y < src->h; ++y)
    std::memcpy(static_cast<uint8_t*>(src->pixels) + y * src->pitch,
                s.Sprites.Pixels() + y * s.Sprites.Pitch(), size_t(src->w) * 2);
  SDL_SetColorKey(src, rle ? SDL_TRUE | SDL_RLEACCEL : SDL_TRUE, Key);
  if (rle && !SDL_HasSurfaceRLE(src)) return state.SkipWithError("SDL did not take RLE");
  for (auto _ : state) {
    for (const TPlace& p : s.Places) {
      SDL_Rect from{p.Pattern * SpriteW, 0, SpriteW, SpriteH}, to{p.X, p.Y, SpriteW, SpriteH};
      SDL_BlitSurface(src, &from, dest, &to);
    }
    benchmark::DoNotOptimize(dest->pixels);
  }
  SDL_FreeSurface(src);
  SDL_FreeSurface(dest);
}
void BM_SdlSprites(benchmark::State& state) { SdlSprites(state, false); }
BENCHMARK(BM_SdlSprites)->Unit(benchmark::kMicrosecond);
void BM_SdlSpritesRle(benchmark::State& state) { SdlSprites(state, true); }
BENCHMARK(BM_SdlSpritesRle)->Unit(benchmark::kMicrosecond);

void BM_Rotated(benchmark::State& state) {
  TScene& s = Scene();
  for (auto _ : state) {
    s.DrawRotated();
    benchmark::DoNotOptimize(s.Back.Pixels());
  }
}
BENCHMARK(BM_Rotated)->Unit(benchmark::kMicrosecond);

void BM_Texts(benchmark::State& state) {
  TScene& s = Scene();
  s.Back.Fill(0);
  s.DrawTexts();
  if (std::count(s.Back.Pixels(), s.Back.Pixels() + ScreenW * ScreenH, 0) == ScreenW * ScreenH)
    return state.SkipWithError("the canvas drew no text");
  for (auto _ : state) {
    s.DrawTexts();
    benchmark::DoNotOptimize(s.Back.Pixels());
  }
}
BENCHMARK(BM_Texts)->Unit(benchmark::kMicrosecond);

void BM_Upload(benchmark::State& state) {
  TScene& s = Scene();
  TUpload& u = Upload();
  if (!u.Texture) return state.SkipWithError(SDL_GetError());
  for (auto _ : state) u.Upload(s.Back);
}
BENCHMARK(BM_Upload)->Unit(benchmark::kMicrosecond);

// The platform's whole present on SDL's dummy driver: the upload plus a software copy
// into the window, which a real display does on the graphics card instead.
void BM_PresentDummyWindow(benchmark::State& state) {
  TScene& s = Scene();
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  Platform::TWindow window("bench", ScreenW, ScreenH);
  for (auto _ : state) {
    window.Invalidate();  // sent every time, as a picture that changes each frame is
    window.Present(s.Back.Pixels(), s.Back.Pitch(), ScreenW, ScreenH);
  }
}
BENCHMARK(BM_PresentDummyWindow)->Unit(benchmark::kMicrosecond);

// A still picture: the whole-frame compare that finds nothing to send.
void BM_PresentStillPicture(benchmark::State& state) {
  TScene& s = Scene();
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  Platform::TWindow window("bench", ScreenW, ScreenH);
  window.Present(s.Back.Pixels(), s.Back.Pitch(), ScreenW, ScreenH);
  const uint64_t sent = window.PresentCount();
  for (auto _ : state) window.Present(s.Back.Pixels(), s.Back.Pitch(), ScreenW, ScreenH);
  if (window.PresentCount() != sent) state.SkipWithError("a still picture was sent again");
}
BENCHMARK(BM_PresentStillPicture)->Unit(benchmark::kMicrosecond);

// Keeps each run's time per iteration so the comparison with SDL can be printed last.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::pair<double, double>> Times;  // real, CPU
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred)
        Times[r.benchmark_name()] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // CPU time is the steadier figure on a shared machine; both are printed.
  const auto& t = reporter.Times;
  if (t.count("BM_RaceFrame"))
    std::printf("\nframe: %.3f ms CPU, %.3f ms real (goal < 1 ms)\n",
                t.at("BM_RaceFrame").second / 1000.0, t.at("BM_RaceFrame").first / 1000.0);
  auto compare = [&](const char* peer, const char* what, const char* goal) {
    if (!t.count("BM_Sprites") || !t.count(peer)) return;
    const auto ours = t.at("BM_Sprites"), sdl = t.at(peer);
    std::printf("40 keyed sprites: ours %.1f us, %s %.1f us CPU: ratio ours/SDL %.2f CPU, %.2f real"
                " (goal %s)\n",
                ours.second, what, sdl.second, ours.second / sdl.second, ours.first / sdl.first, goal);
  };
  compare("BM_SdlSprites", "SDL keyed", "<= 1.2");
  compare("BM_SdlSpritesRle", "SDL keyed RLE", "<= 1");
  benchmark::Shutdown();
  return 0;
}
