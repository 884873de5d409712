// The harness's own stand-in for the game: the game's window and drawing surface showing
// a test card, printing every key, typed character, click and close request in surface
// pixels, so the harness can prove its screenshots, colours, keys and clicks are right.
//   e2e_probe [--card FILE.ppm]   writes the card as the screen should show it, then runs
// F switches full screen on and off; SIGTERM ends it with status 0.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "media/DXClass/Application.h"
#include "media/DXClass/DXForm.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/System.h"

namespace {

constexpr int Width = 800, Height = 600, Cell = 200;

// A 4 x 3 grid of cells in colours that need every bit of 5-6-5; the harness checks them.
constexpr uint16_t CardColours[3][4] = {
    {0xF800, 0x07E0, 0x001F, 0xFFFF},
    {0x0000, 0x8410, 0x1234, 0xABCD},
    {0xFFE0, 0x07FF, 0xF81F, 0x4A69},
};

uint16_t CardPixel(int x, int y) {
  // A one-pixel white frame in every cell, so a picture off by a pixel shows.
  if (x % Cell == 0 || y % Cell == 0) return 0xFFFF;
  return CardColours[y / Cell][x / Cell];
}

void DrawCard(TDirectDrawSurface& surface) {
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) surface.Pixels()[y * surface.Pitch() + x] = CardPixel(x, y);
}

// 5-6-5 widened to 8 bits a channel by repeating the high bits, as displays do.
bool WriteCard(const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", Width, Height);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const uint16_t p = CardPixel(x, y);
      const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
      const unsigned char rgb[3] = {uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4),
                                    uint8_t(b << 3 | b >> 2)};
      std::fwrite(rgb, 1, 3, f);
    }
  return std::fclose(f) == 0;
}

void Say(const char* format, int a = 0, int b = 0) {
  std::printf(format, a, b);
  std::printf("\n");
  std::fflush(stdout);
}

class TProbeForm : public TDXForm {
 public:
  explicit TProbeForm(TApplication& application)
      : TDXForm(application, "Sprayrush probe", Width, Height), Draw(Window.get()), Timer(application) {
    Draw.Initialize();
    Timer.SetInterval(15);
    Timer.ActiveOnly = false;
    Timer.OnTimer = [this](TDXTimer&, int32_t) {
      if (!Draw.CanDraw()) return;
      DrawCard(Draw.Surface());
      Draw.Flip();
    };
    Timer.SetEnabled(true);
  }

 protected:
  void CloseQuery(bool& canClose) override {
    Say("close");
    canClose = false;
  }
  void KeyDown(uint16_t& key, uint8_t shift) override {
    Say("key %d %d", key, shift);
    if (key == 'F') {
      Draw.Options ^= OptionBit(doFullScreen);
      Draw.Initialize();
      Say("fullscreen %d", Window->IsFullScreen() ? 1 : 0);
    }
  }
  void KeyPress(uint8_t& key) override { Say("char %d", key); }
  void MouseMove(uint8_t, int x, int y) override {
    X = x;
    Y = y;
  }
  void Click() override { Say("click %d %d", X, Y); }

 private:
  TDXDraw Draw;
  TDXTimer Timer;
  int X = -1, Y = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--card") == 0) {
    if (!WriteCard(argv[2])) {
      std::perror(argv[2]);
      return 1;
    }
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: e2e_probe [--card FILE.ppm]\n");
    return 2;
  }
  Platform::TSystemLifetime system;
  TApplication application;
  try {
    TProbeForm form(application);
    application.Run();
    Say("end");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "e2e_probe: %s\n", error.what());
    return 1;
  }
  return 0;
}
