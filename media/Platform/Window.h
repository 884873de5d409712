#pragma once
// The one game window over SDL: the only picture path to the screen.
#include <cstdint>
#include <memory>
#include <string>

namespace Platform {

class TWindow {
 public:
  // Fixed-size client area, centred, minimise but no maximise.
  TWindow(const std::string& caption, int clientWidth, int clientHeight);
  ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // Shows an RGB 5-6-5 picture (pitch in pixels); in full screen it is scaled up
  // sharply with its aspect kept.
  void Present(const uint16_t* pixels, int pitch, int width, int height);

  // Enters or leaves the desktop's full-screen mode; false when it cannot be entered.
  bool SetFullScreen(bool on);
  bool IsFullScreen() const;

  // (further operations: events, placement, icon, cursor; see the implementation)

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

}  // namespace Platform
