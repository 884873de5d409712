#pragma once
// The frame timer: fires from the application's idle processing whenever at least
// Interval ms have passed, with the number of whole intervals since the last tick.
#include <cstdint>
#include <functional>

#include "media/DXClass/Application.h"

class TDXTimer : public TIdleHandler, public TActivationListener {
 public:
  // Defaults: Interval 1000, Enabled, ActiveOnly.
  explicit TDXTimer(TApplication& application);
  ~TDXTimer() override;
  TDXTimer(const TDXTimer&) = delete;
  TDXTimer& operator=(const TDXTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  // Enabling restarts the reference times; it runs only while the application is
  // active when ActiveOnly is set.
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(int32_t interval);
  bool ActiveOnly = true;
  // Ticks per second over the last second or more.
  int32_t FrameRate() const { return FFrameRate; }

  std::function<void(TDXTimer& sender, int32_t lagCount)> OnTimer;
  std::function<void(TDXTimer& sender)> OnActivate, OnDeactivate;

  // Whether the timer is taking part in the idle processing now.
  bool Running() const;

  void Idle() override;
  uint32_t MsUntilDue() const override;
  void AppActivate() override;
  void AppDeactivate() override;

 private:
  void Resume();
  void Suspend();

  TApplication& Application;
  uint32_t FInterval = 1000, Divisor = 1000;
  bool FEnabled = false;
  uint32_t OldTime = 0, FpsTime = 0;
  int32_t FrameCount = 0, FFrameRate = 0;
};
