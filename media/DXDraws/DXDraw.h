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
  TDirectDrawSurface& Surface();
  void Flip();

  TDXDrawOptions Options = 0;
  TDXDrawOptions NowOptions() const;  // the effective set
  struct {
    int Width = 800, Height = 600, BitCount = 16;
  } Display;
  int SurfaceWidth = 800, SurfaceHeight = 600;

  std::function<void()> OnInitialize, OnFinalize;
  void RegisterListener(TDXDrawListener* listener);
  void UnregisterListener(TDXDrawListener* listener);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};
