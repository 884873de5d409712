#include "media/DXClass/Application.h"

#include <algorithm>

#include "media/DXClass/DXForm.h"
#include "media/Platform/System.h"

TApplication::TApplication(TClock clock)
    : Clock(clock ? std::move(clock) : TClock(Platform::TimeGetTime)) {}

TApplication::~TApplication() = default;

void TApplication::Run() {
  if (TDXForm* form = MainForm()) form->Show();
  while (!FTerminated) {
    ProcessMessages();
    if (FTerminated) break;
    Idle();
    if (FTerminated) break;
    // Sleep until the next tick is due or a message arrives; with nothing to run
    // (the game is in the background) sleep until a message comes.
    const int wait = IdleWaitMs();
    Platform::TEvent event;
    if (wait != 0 && Events.Wait(event, wait)) Dispatch(event);
  }
}

void TApplication::AnimationFrame() {
  if (!FPaced) {
    FPaced = true;
    RealClock = std::move(Clock);
    PacedNow = RealClock();
    Clock = [this] { return PacedNow; };
  }
  const uint32_t now = RealClock();
  // After a stall (a page in the background gets no frames) the timers see the gap at
  // once and tick with a large move count, as the desktop's do after a stall, rather than
  // running every missed tick.
  constexpr uint32_t MaxLagMs = 100;
  if (now - PacedNow > MaxLagMs) PacedNow = now;
  // Two or three ticks fit in one display frame of a slow display; more only after a
  // stall, which the clock above has skipped.
  for (int round = 0; round < 8 && !FTerminated; ++round) {
    ProcessMessages();
    if (FTerminated) return;
    const int wait = IdleWaitMs();
    if (wait < 0) {
      PacedNow = now;
      return;
    }
    if (uint32_t(wait) > now - PacedNow) return;
    PacedNow += uint32_t(wait);
    Idle();
  }
}

void TApplication::ProcessMessages() {
  Platform::TEvent event;
  while (!FTerminated && Events.Poll(event)) Dispatch(event);
}

void TApplication::Idle() {
  // A handler may add or remove handlers (a screen change toggles the timer).
  const auto handlers = IdleHandlers;
  for (TIdleHandler* handler : handlers) {
    if (FTerminated) return;
    if (HasIdleHandler(handler)) handler->Idle();
  }
}

int TApplication::IdleWaitMs() const {
  if (IdleHandlers.empty()) return -1;
  uint32_t wait = UINT32_MAX;
  for (const TIdleHandler* handler : IdleHandlers) wait = std::min(wait, handler->MsUntilDue());
  return int(std::min<uint32_t>(wait, 1000));
}

void TApplication::Dispatch(const Platform::TEvent& event) {
  using Platform::TEventKind;
  switch (event.Kind) {
    case TEventKind::None:
      return;
    case TEventKind::Quit:
      Terminate();
      return;
    case TEventKind::Activated:
      SetActive(true);
      break;
    case TEventKind::Deactivated:
      SetActive(false);
      break;
    default:
      break;
  }
  if (TDXForm* form = FormOf(event.WindowId)) form->HandleEvent(event);
}

void TApplication::SetActive(bool active) {
  if (active == FActive) return;
  FActive = active;
  const auto listeners = ActivationListeners;
  for (TActivationListener* listener : listeners) {
    if (std::find(ActivationListeners.begin(), ActivationListeners.end(), listener) ==
        ActivationListeners.end())
      continue;
    if (active)
      listener->AppActivate();
    else
      listener->AppDeactivate();
  }
}

void TApplication::AddIdleHandler(TIdleHandler* handler) {
  if (!HasIdleHandler(handler)) IdleHandlers.push_back(handler);
}

void TApplication::RemoveIdleHandler(TIdleHandler* handler) {
  std::erase(IdleHandlers, handler);
}

bool TApplication::HasIdleHandler(const TIdleHandler* handler) const {
  return std::find(IdleHandlers.begin(), IdleHandlers.end(), handler) != IdleHandlers.end();
}

void TApplication::AddActivationListener(TActivationListener* listener) {
  ActivationListeners.push_back(listener);
}

void TApplication::RemoveActivationListener(TActivationListener* listener) {
  std::erase(ActivationListeners, listener);
}

void TApplication::AddForm(TDXForm* form) { Forms.push_back(form); }

void TApplication::RemoveForm(TDXForm* form) { std::erase(Forms, form); }

TDXForm* TApplication::FormOf(uint32_t windowId) const {
  for (TDXForm* form : Forms)
    if (form->Window && form->Window->Id() == windowId) return form;
  // Events the system gives no window (typed text at times) belong to the main form.
  return windowId == 0 ? MainForm() : nullptr;
}
