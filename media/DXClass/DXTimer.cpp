#include "media/DXClass/DXTimer.h"

#include <algorithm>
#include <cmath>

TDXTimer::TDXTimer(TApplication& application) : Application(application) {
  Application.AddActivationListener(this);
  SetEnabled(true);
}

TDXTimer::~TDXTimer() {
  Suspend();
  Application.RemoveActivationListener(this);
}

void TDXTimer::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  if (enabled) {
    if (!ActiveOnly || Application.Active()) Resume();
  } else {
    Suspend();
  }
}

void TDXTimer::SetInterval(int32_t interval) {
  FInterval = uint32_t(std::max(interval, 0));
  Divisor = uint32_t(std::max(interval, 1));
}

bool TDXTimer::Running() const { return Application.HasIdleHandler(this); }

void TDXTimer::Resume() {
  OldTime = Application.Clock();
  FpsTime = OldTime;
  FrameCount = 0;
  Application.AddIdleHandler(this);
}

void TDXTimer::Suspend() { Application.RemoveIdleHandler(this); }

void TDXTimer::Idle() {
  const uint32_t t = Application.Clock();
  if (t - OldTime < FInterval) return;
  const int32_t lagCount = int32_t(std::max<uint32_t>((t - OldTime) / Divisor, 1));
  OldTime = t;
  ++FrameCount;
  const uint32_t elapsed = std::max<uint32_t>(t - FpsTime, 1);
  if (elapsed >= 1000) {
    FFrameRate = int32_t(std::lround(FrameCount * 1000.0 / elapsed));
    FrameCount = 0;
    FpsTime = t;
  }
  if (OnTimer) OnTimer(*this, lagCount);
}

uint32_t TDXTimer::MsUntilDue() const {
  const uint32_t elapsed = Application.Clock() - OldTime;
  return elapsed >= FInterval ? 0 : FInterval - elapsed;
}

void TDXTimer::AppActivate() {
  if (OnActivate) OnActivate(*this);
  if (FEnabled && ActiveOnly) Resume();
}

void TDXTimer::AppDeactivate() {
  if (OnDeactivate) OnDeactivate(*this);
  if (FEnabled && ActiveOnly) Suspend();
}
