#include "media/Platform/Window.h"

#include <SDL.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Platform {

namespace {

uint32_t Argb(int r, int g, int b, int a = 255) {
  return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// The program's icon: a red speedboat heading up the river with its white wake.
SDL_Surface* MakeIcon() {
  constexpr int Size = 32;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, Size, Size, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!icon) return nullptr;
  auto* px = static_cast<uint32_t*>(icon->pixels);
  const int stride = icon->pitch / 4;
  for (int y = 0; y < Size; ++y) {
    for (int x = 0; x < Size; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      // Rounded square of water.
      const double ex = std::max({4.5 - cx, cx - 27.5, 0.0}), ey = std::max({4.5 - cy, cy - 27.5, 0.0});
      uint32_t c = 0;
      if (ex * ex + ey * ey <= 4.5 * 4.5) {
        const bool ripple = int(cy + 2.0 * std::sin(cx * 0.6)) % 7 == 0;
        c = ripple ? Argb(90, 170, 240) : Argb(25, 110, 200);
      }
      // Wake: two white lines spreading from the stern.
      const double back = cy - 24.0;
      if (back > 0 && (std::abs(std::abs(cx - 16.0) - back * 1.3) < 0.9)) c = Argb(235, 245, 255);
      // Hull: pointed bow at the top, flat stern.
      if (cy >= 4.0 && cy <= 25.0) {
        const double half = 6.5 * std::min(1.0, std::sqrt((cy - 4.0) / 9.0));
        const double d = std::abs(cx - 16.0);
        if (d <= half) c = d > half - 1.2 || cy > 24.0 ? Argb(140, 20, 20) : Argb(230, 50, 40);
        if (cy >= 13.0 && cy <= 19.0 && d <= 3.2) c = Argb(30, 40, 60);
        if (cy >= 13.0 && cy <= 14.2 && d <= 3.2) c = Argb(150, 210, 255);
      }
      px[y * stride + x] = c;
    }
  }
  return icon;
}

}  // namespace

struct TWindow::TImpl {
  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  SDL_Cursor* HandCursor = nullptr;
  int TextureWidth = 0, TextureHeight = 0;
  int Width = 0, Height = 0;
  bool IntegerScale = false;
  int CursorCounter = 0;
  // The picture on screen, rows without padding, and the output size it was drawn at.
  std::vector<uint16_t> Shown;
  int ShownWidth = 0, ShownHeight = 0, OutputWidth = 0, OutputHeight = 0;
  // Where the picture changed, in tiles of Tile x Tile pixels, row by row.
  static constexpr int Tile = 32;
  std::vector<uint8_t> Dirty;
  bool NeedsRepaint = true;
  uint64_t Presents = 0;
  // After a display switch the pointer is kept over this picture pixel until it moves.
  bool PointerHeld = false;
  int HeldX = 0, HeldY = 0;

  // Brings the kept picture up to date with a new one and says where it differs, as
  // rectangles of whole tiles: a race changes the river and now and then a number or
  // the needle on a side panel, which stand apart. None when nothing changed; with
  // everything to repaint, the whole picture.
  std::vector<SDL_Rect> TakeChanges(const uint16_t* pixels, int pitch, int width, int height) {
    std::vector<SDL_Rect> rects;
    if (NeedsRepaint || width != ShownWidth || height != ShownHeight) {
      Shown.resize(size_t(width) * height);
      for (int y = 0; y < height; ++y)
        std::memcpy(Shown.data() + size_t(y) * width, pixels + size_t(y) * pitch, size_t(width) * sizeof(uint16_t));
      ShownWidth = width;
      ShownHeight = height;
      rects.push_back({0, 0, width, height});
      return rects;
    }
    const int columns = (width + Tile - 1) / Tile, rows = (height + Tile - 1) / Tile;
    Dirty.assign(size_t(columns) * rows, 0);
    for (int y = 0; y < height; ++y) {
      const uint16_t* now = pixels + size_t(y) * pitch;
      uint16_t* shown = Shown.data() + size_t(y) * width;
      if (std::memcmp(now, shown, size_t(width) * sizeof(uint16_t)) == 0) continue;
      uint8_t* dirty = &Dirty[size_t(y / Tile) * columns];
      for (int c = 0; c < columns; ++c) {
        const int x = c * Tile, n = std::min(Tile, width - x);
        if (SameRun(now + x, shown + x, n)) continue;
        std::memcpy(shown + x, now + x, size_t(n) * sizeof(uint16_t));
        dirty[c] = 1;
      }
    }
    // Runs of changed tiles in each row of tiles; a run right under one just as wide
    // lengthens it. An upload costs little beyond its pixels (some dozens of them make
    // a frame), so exactly the changed tiles go rather than a box around them.
    for (int r = 0; r < rows; ++r) {
      const uint8_t* dirty = &Dirty[size_t(r) * columns];
      const int top = r * Tile, h = std::min(height, top + Tile) - top;
      for (int c = 0; c < columns;) {
        if (!dirty[c]) {
          ++c;
          continue;
        }
        const int first = c;
        while (c < columns && dirty[c]) ++c;
        const SDL_Rect run{first * Tile, top, std::min(width, c * Tile) - first * Tile, h};
        auto above = std::find_if(rects.begin(), rects.end(), [&](const SDL_Rect& up) {
          return up.x == run.x && up.w == run.w && up.y + up.h == run.y;
        });
        if (above != rects.end())
          above->h += run.h;
        else
          rects.push_back(run);
      }
    }
    return rects;
  }

  // Whether two runs of pixels are the same: for a whole tile a few wide compares, no
  // call (every row of a race frame is compared tile by tile).
  static bool SameRun(const uint16_t* a, const uint16_t* b, int n) {
    if (n != Tile) return std::memcmp(a, b, size_t(n) * sizeof(uint16_t)) == 0;
#if defined(__SSE2__)
    __m128i differ = _mm_setzero_si128();
    for (int i = 0; i < Tile; i += 8)
      differ = _mm_or_si128(differ, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(differ, _mm_setzero_si128())) == 0xFFFF;
#else
    uint64_t differ = 0;
    for (int i = 0; i < Tile; i += 4) {
      uint64_t x, y;
      std::memcpy(&x, a + i, sizeof x);
      std::memcpy(&y, b + i, sizeof y);
      differ |= x ^ y;
    }
    return differ == 0;
#endif
  }

  // Sends the changed parts of the kept picture to the screen.
  void Paint(const std::vector<SDL_Rect>& rects) {
    for (const SDL_Rect& r : rects)
      SDL_UpdateTexture(Texture, &r, Shown.data() + size_t(r.y) * ShownWidth + r.x,
                        ShownWidth * int(sizeof(uint16_t)));
    // A picture that covers the whole output leaves nothing to clear around it.
    if (OutputWidth != ShownWidth || OutputHeight != ShownHeight) {
      SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
      SDL_RenderClear(Renderer);
    }
    SDL_RenderCopy(Renderer, Texture, nullptr, nullptr);
    SDL_RenderPresent(Renderer);
    NeedsRepaint = false;
#ifdef __EMSCRIPTEN__
    // The page's start-up figure: from navigation to the first picture.
    if (Presents == 0) EM_ASM({ Module.firstPicture = performance.now(); });
#endif
    ++Presents;
  }

  // Whole-number scaling keeps every pixel sharp; below twice the size it would leave
  // the picture small, so then it fills the screen at the nearest fractional scale.
  void UpdateScaling() {
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(Renderer, &w, &h) != 0 || Width <= 0 || Height <= 0) return;
    // A new output size (a mode switch, a resize) spoils the picture even if no event said so.
    if (w != OutputWidth || h != OutputHeight) {
      OutputWidth = w;
      OutputHeight = h;
      NeedsRepaint = true;
    }
    const bool integer = std::min(w / Width, h / Height) >= 2;
    if (integer != IntegerScale) {
      IntegerScale = integer;
      SDL_RenderSetIntegerScale(Renderer, integer ? SDL_TRUE : SDL_FALSE);
    }
  }

  // The picture pixel under the pointer, when the pointer is over this window.
  bool PointerOnPicture(int& x, int& y) const {
    if (!Renderer || SDL_GetMouseFocus() != Window) return false;
    int wx = 0, wy = 0;
    SDL_GetMouseState(&wx, &wy);
    float lx = 0, ly = 0;
    SDL_RenderWindowToLogical(Renderer, wx, wy, &lx, &ly);
    x = std::clamp(int(std::floor(lx)), 0, Width - 1);
    y = std::clamp(int(std::floor(ly)), 0, Height - 1);
    return true;
  }

  // Puts the pointer over the middle of a picture pixel at the window's present scale.
  void MovePointerTo(int x, int y) {
    if (!Renderer) return;
    UpdateScaling();
    // The renderer learns the new size from an event that may not have come yet.
    SDL_RenderSetLogicalSize(Renderer, Width, Height);
    int wx = 0, wy = 0;
    SDL_RenderLogicalToWindow(Renderer, x + 0.5f, y + 0.5f, &wx, &wy);
    SDL_WarpMouseInWindow(Window, wx, wy);
  }
};

TWindow::TWindow(const std::string& caption, int clientWidth, int clientHeight)
    : Impl(std::make_unique<TImpl>()) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    throw std::runtime_error(std::string("Video cannot be started: ") + SDL_GetError());
  // Closing the window is a request the game answers itself, not the end of the program.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  auto& m = *Impl;
  m.Width = clientWidth;
  m.Height = clientHeight;
  m.Window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                              clientWidth, clientHeight, SDL_WINDOW_HIDDEN);
  if (!m.Window) {
    std::string error = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw std::runtime_error("Window cannot be created: " + error);
  }
  if (SDL_Surface* icon = MakeIcon()) {
    SDL_SetWindowIcon(m.Window, icon);
    SDL_FreeSurface(icon);
  }
#ifdef __EMSCRIPTEN__
  // In the page SDL's software renderer puts the picture on a 2D canvas: a browser
  // without a graphics card draws WebGL in software at several times the cost.
  constexpr Uint32 RendererFlags = SDL_RENDERER_SOFTWARE;
#else
  constexpr Uint32 RendererFlags = 0;
#endif
  m.Renderer = SDL_CreateRenderer(m.Window, -1, RendererFlags);
  if (m.Renderer) SDL_RenderSetLogicalSize(m.Renderer, clientWidth, clientHeight);
  m.HandCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  if (m.HandCursor) SDL_SetCursor(m.HandCursor);
  SDL_ShowCursor(SDL_ENABLE);
}

TWindow::~TWindow() {
  auto& m = *Impl;
  if (m.Texture) SDL_DestroyTexture(m.Texture);
  if (m.Renderer) SDL_DestroyRenderer(m.Renderer);
  SDL_DestroyWindow(m.Window);
  if (m.HandCursor) SDL_FreeCursor(m.HandCursor);
  SDL_ShowCursor(SDL_ENABLE);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TWindow::Present(const uint16_t* pixels, int pitch, int width, int height) {
  auto& m = *Impl;
  if (!m.Renderer || !pixels || width <= 0 || height <= 0) return;
  if (!m.Texture || m.TextureWidth != width || m.TextureHeight != height) {
    if (m.Texture) SDL_DestroyTexture(m.Texture);
    m.Texture = SDL_CreateTexture(m.Renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                  width, height);
    if (!m.Texture) return;
    m.TextureWidth = width;
    m.TextureHeight = height;
    m.NeedsRepaint = true;
  }
  m.UpdateScaling();
  // A still picture costs a compare; a race frame sends the river, not the side panels.
  const std::vector<SDL_Rect> changed = m.TakeChanges(pixels, pitch, width, height);
  if (!changed.empty()) m.Paint(changed);
}

void TWindow::PresentUnchanged() {
  auto& m = *Impl;
  if (!m.Renderer || !m.Texture || m.Shown.empty()) return;
  m.UpdateScaling();
  if (m.NeedsRepaint) m.Paint({{0, 0, m.ShownWidth, m.ShownHeight}});
}

void TWindow::Invalidate() { Impl->NeedsRepaint = true; }

uint64_t TWindow::PresentCount() const { return Impl->Presents; }

bool TWindow::ReadBack(std::vector<uint16_t>& pixels) const {
  auto& m = *Impl;
  if (!m.Renderer) return false;
  pixels.resize(size_t(m.Width) * m.Height);
  return SDL_RenderReadPixels(m.Renderer, nullptr, SDL_PIXELFORMAT_RGB565, pixels.data(),
                              m.Width * int(sizeof(uint16_t))) == 0;
}

bool TWindow::SetFullScreen(bool on) {
#ifdef __EMSCRIPTEN__
  // The page puts its stage in the browser's full screen and scales the canvas there
  // itself. SDL's own way gives the canvas the screen's pixels while still reporting the
  // windowed size, so the picture lands in a corner and the pointer misses the buttons.
  EM_ASM({ Module.sprayrushFullScreen && Module.sprayrushFullScreen($0); }, on);
  return true;
#else
  if (on == IsFullScreen()) return true;
  auto& m = *Impl;
  m.NeedsRepaint = true;
  // The pointer is to stay over the same point of the picture. The system keeps it at the
  // same window point instead, which after a change of scale lies over something else.
  int pictureX = 0, pictureY = 0;
  const bool pointerHere = m.PointerOnPicture(pictureX, pictureY);
  const bool switched = SDL_SetWindowFullscreen(m.Window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
  if (pointerHere) {
    // Motion reported by the switch says the pointer is where it must not stay; the
    // game would light whatever button lies there.
    SDL_PumpEvents();
    SDL_FlushEvent(SDL_MOUSEMOTION);
    m.PointerHeld = true;
    m.HeldX = pictureX;
    m.HeldY = pictureY;
    m.MovePointerTo(pictureX, pictureY);
  }
  return switched;
#endif
}

void TWindow::PictureMoved() {
  // The window system may place the window only after the switch has returned.
  if (Impl->PointerHeld) Impl->MovePointerTo(Impl->HeldX, Impl->HeldY);
}

void TWindow::PointerMoved(int& x, int& y) {
  auto& m = *Impl;
  if (!m.PointerHeld) return;
  if (std::abs(x - m.HeldX) <= 1 && std::abs(y - m.HeldY) <= 1) {
    x = m.HeldX;
    y = m.HeldY;
    return;
  }
  m.PointerHeld = false;
}

void TWindow::ReleasePointer() { Impl->PointerHeld = false; }

bool TWindow::IsFullScreen() const {
#ifdef __EMSCRIPTEN__
  // What the game asked for: the browser grants it only after a key or click.
  return EM_ASM_INT({ return Module.sprayrushWantsFullScreen ? 1 : 0; }) != 0;
#endif
  return (SDL_GetWindowFlags(Impl->Window) & SDL_WINDOW_FULLSCREEN) != 0;
}

void TWindow::Show() {
  SDL_ShowWindow(Impl->Window);
  Impl->NeedsRepaint = true;
}

bool TWindow::Visible() const { return (SDL_GetWindowFlags(Impl->Window) & SDL_WINDOW_SHOWN) != 0; }

uint32_t TWindow::Id() const { return SDL_GetWindowID(Impl->Window); }

std::string TWindow::Caption() const { return SDL_GetWindowTitle(Impl->Window); }

void TWindow::SetCaption(const std::string& caption) {
  SDL_SetWindowTitle(Impl->Window, caption.c_str());
}

int TWindow::ClientWidth() const { return Impl->Width; }

int TWindow::ClientHeight() const { return Impl->Height; }

bool TWindow::Resizable() const {
  return (SDL_GetWindowFlags(Impl->Window) & SDL_WINDOW_RESIZABLE) != 0;
}

void TWindow::Centre() {
  SDL_SetWindowPosition(Impl->Window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void TWindow::Minimize() { SDL_MinimizeWindow(Impl->Window); }

bool TWindow::Minimized() const {
  return (SDL_GetWindowFlags(Impl->Window) & SDL_WINDOW_MINIMIZED) != 0;
}

bool TWindow::HasInputFocus() const {
  return (SDL_GetWindowFlags(Impl->Window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool TWindow::GetPlacement(TWindowPlacement& placement) const {
  if (IsFullScreen()) return false;
  SDL_GetWindowPosition(Impl->Window, &placement.X, &placement.Y);
  SDL_GetWindowSize(Impl->Window, &placement.Width, &placement.Height);
  return placement.Width > 0 && placement.Height > 0;
}

void TWindow::SetPlacement(const TWindowPlacement& placement) {
  SDL_SetWindowPosition(Impl->Window, placement.X, placement.Y);
}

int TWindow::ShowCursor(bool show) {
  int& counter = Impl->CursorCounter;
  counter += show ? 1 : -1;
  SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return counter;
}

}  // namespace Platform
