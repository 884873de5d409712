#pragma once
// The application object: the message loop, its idle processing and the application's
// activation. One per program run (tests make their own, with their own clock).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/Platform/Events.h"

class TDXForm;

// Work done between window messages. The loop sleeps until the nearest handler is due
// instead of calling them in a busy loop.
class TIdleHandler {
 public:
  virtual ~TIdleHandler() = default;
  virtual void Idle() = 0;
  // Milliseconds until the handler wants to run again; 0 = now.
  virtual uint32_t MsUntilDue() const = 0;
};

class TActivationListener {
 public:
  virtual ~TActivationListener() = default;
  virtual void AppActivate() = 0;
  virtual void AppDeactivate() = 0;
};

class TApplication {
 public:
  using TClock = std::function<uint32_t()>;
  // clock: the millisecond clock every timer reads (timeGetTime by default).
  explicit TApplication(TClock clock = {});
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  std::string Title;
  TClock Clock;

  // Runs the message loop until Terminate: shows the main form, then handles messages
  // and between them the idle processing.
  void Run();
  // One turn of the loop for a host that calls the program once per display frame and
  // must be returned to in between (the browser): the waiting messages, then every round
  // of idle processing that fell due since the last turn, each on the clock the timers
  // read at its own due time, so a 15 ms timer ticks every 15 ms on average whatever the
  // display's rate. From the first turn on, Clock gives that paced time.
  void AnimationFrame();
  // Handles every message that is waiting, without idle processing.
  void ProcessMessages();
  // One round of idle processing.
  void Idle();
  void Dispatch(const Platform::TEvent& event);
  // How long the loop may sleep before an idle handler is due; negative = no handler.
  int IdleWaitMs() const;

  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }

  // Whether one of the program's windows is in front.
  bool Active() const { return FActive; }
  void SetActive(bool active);

  TDXForm* MainForm() const { return Forms.empty() ? nullptr : Forms.front(); }

  void AddIdleHandler(TIdleHandler* handler);
  void RemoveIdleHandler(TIdleHandler* handler);
  bool HasIdleHandler(const TIdleHandler* handler) const;
  void AddActivationListener(TActivationListener* listener);
  void RemoveActivationListener(TActivationListener* listener);
  void AddForm(TDXForm* form);
  void RemoveForm(TDXForm* form);

  Platform::TEventQueue Events;

 private:
  TDXForm* FormOf(uint32_t windowId) const;

  bool FTerminated = false;
  // The paced clock of AnimationFrame and the clock it follows.
  bool FPaced = false;
  uint32_t PacedNow = 0;
  TClock RealClock;
  bool FActive = true;
  std::vector<TIdleHandler*> IdleHandlers;
  std::vector<TActivationListener*> ActivationListeners;
  std::vector<TDXForm*> Forms;
};
