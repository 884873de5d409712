#pragma once
// The one game window over SDL: the only picture path to the screen.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform {

struct TWindowPlacement {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

class TWindow {
 public:
  // Fixed-size client area, centred, minimise but no maximise; created hidden.
  // Throws std::runtime_error when no window can be made.
  TWindow(const std::string& caption, int clientWidth, int clientHeight);
  ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // Shows an RGB 5-6-5 picture (pitch in pixels); in full screen it is scaled up
  // sharply with its aspect kept. Only what differs from the picture on screen is sent,
  // nothing when it is the same, unless the window needs repainting.
  void Present(const uint16_t* pixels, int pitch, int width, int height);
  // The picture has not changed since the last Present: it is painted again only if the
  // window lost it.
  void PresentUnchanged();
  // The window lost its picture (exposed, restored, shown): the next Present paints.
  void Invalidate();
  // Pictures actually sent to the screen since the window was made.
  uint64_t PresentCount() const;
  // The picture the renderer drew last, as RGB 5-6-5; false when it cannot be read back
  // (a renderer that swaps buffers may have dropped it; the tests' software one keeps it).
  bool ReadBack(std::vector<uint16_t>& pixels) const;

  // Enters or leaves the desktop's full-screen mode; false when it cannot be entered.
  // A pointer over the window stays over the same pixel of the picture, and is held
  // there (see below) until the player moves it.
  bool SetFullScreen(bool on);
  // The window was placed, resized or uncovered: a held pointer goes back over its pixel.
  void PictureMoved();
  // A pointer movement to (x, y) in picture pixels: one that only reports the held
  // pointer gives its exact pixel; any other ends the hold.
  void PointerMoved(int& x, int& y);
  // A button pressed ends the hold too.
  void ReleasePointer();
  bool IsFullScreen() const;

  void Show();
  bool Visible() const;
  uint32_t Id() const;  // the WindowId of this window's events
  std::string Caption() const;  // UTF-8
  void SetCaption(const std::string& caption);
  int ClientWidth() const;
  int ClientHeight() const;
  bool Resizable() const;
  void Centre();
  void Minimize();
  bool Minimized() const;
  bool HasInputFocus() const;

  // Windowed position and size; false when the system cannot tell.
  bool GetPlacement(TWindowPlacement& placement) const;
  void SetPlacement(const TWindowPlacement& placement);

  // The system's cursor display counter: the cursor shows while it is 0 or more.
  // Returns the new value.
  int ShowCursor(bool show);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

}  // namespace Platform
