#pragma once
// The window base of the media layer: the game window with its placement store, the
// minimise command and the routing of window events to overridable handlers.
#include <cstdint>
#include <memory>
#include <string>

#include "media/Platform/Events.h"
#include "media/Platform/Window.h"

class TApplication;

constexpr uint32_t SC_MINIMIZE = 0xF020;

enum class TWindowState { wsNormal, wsMinimized };

class TDXForm {
 public:
  // Creates the (hidden) window; the application's message loop shows it.
  TDXForm(TApplication& application, const std::string& caption, int clientWidth,
          int clientHeight);
  virtual ~TDXForm();
  TDXForm(const TDXForm&) = delete;
  TDXForm& operator=(const TDXForm&) = delete;

  TApplication& Application;
  std::unique_ptr<Platform::TWindow> Window;
  TWindowState WindowState = TWindowState::wsNormal;

  void Show();
  // A close request: asks CloseQuery; a main form that may close ends the program.
  void Close();

  // Full-screen mode keeps the windowed placement here to return to it.
  void StoreWindowPlacement();
  void RestoreWindowPlacement();
  bool HasStoredPlacement() const { return PlacementStored; }

  // A system command of the window (the command code masked with 0xFFF0).
  virtual void WMSysCommand(uint32_t command);

  // Routes one window event to the handlers below.
  virtual void HandleEvent(const Platform::TEvent& event);

 protected:
  virtual void CloseQuery(bool& /*canClose*/) {}
  virtual void KeyDown(uint16_t& /*key*/, uint8_t /*shift*/) {}
  virtual void KeyUp(uint16_t& /*key*/, uint8_t /*shift*/) {}
  virtual void KeyPress(uint8_t& /*key*/) {}
  // Mouse over the drawing surface, in surface pixels.
  virtual void MouseMove(uint8_t /*shift*/, int /*x*/, int /*y*/) {}
  virtual void Click() {}
  virtual void DblClick() {}

 private:
  Platform::TWindowPlacement Placement;
  bool PlacementStored = false;
  bool LeftDown = false;  // a left press began on this window
};
