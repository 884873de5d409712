#pragma once
// The drawing-surface component: an 800 x 600 16-bit back surface presented through
// the game window, with listeners (picture libraries, sprite engine) told of its life.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "media/DXDraws/Surface.h"

namespace Platform {
class TWindow;
}

class EDXDrawError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TDXDrawOption : uint32_t {
  doFullScreen, doNoWindowChange, doAllowReboot, doWaitVBlank, doAllowPalette256,
  doSystemMemory, doStretch, doCenter, doFlip, do3D, doDirectX7Mode, doRetainedMode,
  doHardware, doSelectDriver, doZBuffer
};
using TDXDrawOptions = uint32_t;  // bit i = option i
constexpr TDXDrawOptions OptionBit(TDXDrawOption o) { return TDXDrawOptions(1) << o; }

enum class TDXDrawNotifyType { Destroying, Initialize, Finalize, Restore };

class TDXDraw;
class TDXDrawListener {
 public:
  virtual ~TDXDrawListener() = default;
  virtual void DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) = 0;
};

class TDXDraw {
 public:
  // window may be null: Initialize then raises "Form not found".
  explicit TDXDraw(Platform::TWindow* window);
  ~TDXDraw();

  void Initialize();
  void Finalize();
  bool Initialized() const;
  bool CanDraw() const;
  // The back surface; only while initialised (EDXDrawError otherwise).
  TDirectDrawSurface& Surface();
  // Presents the back surface in the window; only when CanDraw. A frame that drew the
  // same as the last one is not presented again (see FrameRecord.h).
  void Flip();

  // A change while initialised takes effect at the next Initialize.
  TDXDrawOptions Options = 0;
  // The effective set: options that need others they lack are dropped. While
  // initialised, the set that Initialize used.
  TDXDrawOptions NowOptions() const;
  struct {
    int Width = 800, Height = 600, BitCount = 16;
  } Display;
  int SurfaceWidth = 800, SurfaceHeight = 600;

  std::function<void()> OnInitialize, OnFinalize;
  // A listener registered while initialised is told Initialize at once, so the
  // order in which the owner creates its parts does not matter.
  void RegisterListener(TDXDrawListener* listener);
  void UnregisterListener(TDXDrawListener* listener);

 private:
  void Notify(TDXDrawNotifyType type);
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};
