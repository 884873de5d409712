#include "media/DXDraws/DXDraw.h"

#include <algorithm>
#include <cstdio>

#include "media/DXDraws/FrameRecord.h"
#include "media/Platform/Window.h"

namespace {

constexpr TDXDrawOptions Bits(std::initializer_list<TDXDrawOption> options) {
  TDXDrawOptions r = 0;
  for (TDXDrawOption o : options) r |= OptionBit(o);
  return r;
}

TDXDrawOptions EffectiveOptions(TDXDrawOptions o) {
  if (!(o & OptionBit(doFullScreen)))
    o &= ~Bits({doNoWindowChange, doAllowReboot, doAllowPalette256, doFlip});
  if (!(o & OptionBit(do3D)))
    o &= ~Bits({doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver, doZBuffer});
  if (o & OptionBit(doSystemMemory)) o &= ~OptionBit(doFlip);
  return o & ~OptionBit(doHardware);
}

}  // namespace

struct TDXDraw::TImpl {
  Platform::TWindow* Window = nullptr;
  std::unique_ptr<TDirectDrawSurface> Back;
  bool Initialized = false;
  bool Finalizing = false;
  TDXDrawOptions NowOptions = 0;
  std::vector<TDXDrawListener*> Listeners;
};

TDXDraw::TDXDraw(Platform::TWindow* window) : Impl(std::make_unique<TImpl>()) {
  Impl->Window = window;
}

TDXDraw::~TDXDraw() {
  // The owner is going away, so its OnFinalize is not raised; listeners still let go.
  if (Impl->Initialized) {
    Impl->Finalizing = true;
    Notify(TDXDrawNotifyType::Finalize);
    Impl->Back.reset();
    Impl->Initialized = false;
  }
  Notify(TDXDrawNotifyType::Destroying);
}

void TDXDraw::Notify(TDXDrawNotifyType type) {
  // A copy: a listener may unregister itself (or another) while being told.
  const std::vector<TDXDrawListener*> listeners = Impl->Listeners;
  for (TDXDrawListener* l : listeners)
    if (std::find(Impl->Listeners.begin(), Impl->Listeners.end(), l) != Impl->Listeners.end())
      l->DXDrawNotify(*this, type);
}

void TDXDraw::Initialize() {
  if (Impl->Initialized) Finalize();
  if (!Impl->Window) throw EDXDrawError("Form not found");
  const TDXDrawOptions options = EffectiveOptions(Options);
  if (options & OptionBit(doFullScreen)) {
    // The back surface is always 16-bit; another depth cannot be shown.
    if (Display.BitCount != 16 || !Impl->Window->SetFullScreen(true)) {
      char message[96];
      std::snprintf(message, sizeof message, "Display mode cannot be changed (%dx%d %dbit)",
                    Display.Width, Display.Height, Display.BitCount);
      throw EDXDrawError(message);
    }
  } else {
    Impl->Window->SetFullScreen(false);
  }
  Impl->Back = std::make_unique<TDirectDrawSurface>(SurfaceWidth, SurfaceHeight);
  Impl->Back->StartRecording();
  Impl->NowOptions = options;
  Impl->Initialized = true;
  Notify(TDXDrawNotifyType::Initialize);
  if (OnInitialize) OnInitialize();
}

void TDXDraw::Finalize() {
  if (!Impl->Initialized) return;
  Impl->Finalizing = true;
  Notify(TDXDrawNotifyType::Finalize);
  Impl->Back.reset();
  Impl->Initialized = false;
  Impl->Finalizing = false;
  if (OnFinalize) OnFinalize();
}

bool TDXDraw::Initialized() const { return Impl->Initialized; }

bool TDXDraw::CanDraw() const { return Impl->Initialized && !Impl->Finalizing && Impl->Back; }

TDirectDrawSurface& TDXDraw::Surface() {
  if (!Impl->Back) throw EDXDrawError("The drawing surface is not initialized");
  return *Impl->Back;
}

void TDXDraw::Flip() {
  if (!CanDraw()) return;
  TDirectDrawSurface& back = *Impl->Back;
  back.ReleaseCanvas();
  // A frame that drew what is on screen already was not even drawn.
  if (!back.Record()->EndFrame()) {
    Impl->Window->PresentUnchanged();
    return;
  }
  const TDirectDrawSurface& picture = back;
  Impl->Window->Present(picture.Pixels(), picture.Pitch(), picture.Width(), picture.Height());
}

TDXDrawOptions TDXDraw::NowOptions() const {
  return Impl->Initialized ? Impl->NowOptions : EffectiveOptions(Options);
}

void TDXDraw::RegisterListener(TDXDrawListener* listener) {
  if (!listener || std::find(Impl->Listeners.begin(), Impl->Listeners.end(), listener) !=
                       Impl->Listeners.end())
    return;
  Impl->Listeners.push_back(listener);
  if (Impl->Initialized && !Impl->Finalizing)
    listener->DXDrawNotify(*this, TDXDrawNotifyType::Initialize);
}

void TDXDraw::UnregisterListener(TDXDrawListener* listener) {
  std::erase(Impl->Listeners, listener);
}
