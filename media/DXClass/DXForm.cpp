#include "media/DXClass/DXForm.h"

#include "media/DXClass/Application.h"

// SDL windows appear in the task bar by themselves, so the owner-window styles of the
// original platform have nothing to do here.
TDXForm::TDXForm(TApplication& application, const std::string& caption, int clientWidth,
                 int clientHeight)
    : Application(application),
      Window(std::make_unique<Platform::TWindow>(caption, clientWidth, clientHeight)) {
  Application.AddForm(this);
}

TDXForm::~TDXForm() { Application.RemoveForm(this); }

void TDXForm::Show() { Window->Show(); }

void TDXForm::Close() {
  bool canClose = true;
  CloseQuery(canClose);
  if (canClose && Application.MainForm() == this) Application.Terminate();
}

void TDXForm::StoreWindowPlacement() { PlacementStored = Window->GetPlacement(Placement); }

void TDXForm::RestoreWindowPlacement() {
  if (!PlacementStored) return;
  Window->SetPlacement(Placement);
  PlacementStored = false;
}

void TDXForm::WMSysCommand(uint32_t command) {
  if ((command & 0xFFF0) == SC_MINIMIZE) {
    if (!Window->Minimized()) Window->Minimize();
    WindowState = TWindowState::wsMinimized;
  }
}

void TDXForm::HandleEvent(const Platform::TEvent& event) {
  using Platform::TEventKind;
  switch (event.Kind) {
    case TEventKind::CloseRequest:
      Close();
      break;
    // The window system has minimised the window already; the command runs as if it
    // came first, so the game can react (a race pauses).
    case TEventKind::Minimized:
      WMSysCommand(SC_MINIMIZE);
      break;
    case TEventKind::Restored:
      WindowState = TWindowState::wsNormal;
      Window->Invalidate();
      break;
    case TEventKind::Exposed:
      Window->Invalidate();
      Window->PictureMoved();
      break;
    case TEventKind::KeyDown: {
      uint16_t key = event.Key;
      KeyDown(key, event.Shift);
      break;
    }
    case TEventKind::KeyUp: {
      uint16_t key = event.Key;
      KeyUp(key, event.Shift);
      break;
    }
    case TEventKind::Char: {
      uint8_t ch = event.Char;
      KeyPress(ch);
      break;
    }
    case TEventKind::MouseMove: {
      int x = event.X, y = event.Y;
      Window->PointerMoved(x, y);
      MouseMove(event.Shift, x, y);
      break;
    }
    // Like the system's own controls: a press and release on the surface is a click;
    // the second press of a double click is a double click, and its release no click.
    case TEventKind::MouseDown:
      Window->ReleasePointer();
      if (event.Button == Platform::mbLeft) {
        if (event.Clicks % 2 == 0) {
          LeftDown = false;
          DblClick();
        } else {
          LeftDown = true;
        }
      }
      break;
    case TEventKind::MouseUp:
      if (event.Button == Platform::mbLeft && LeftDown) {
        LeftDown = false;
        if (event.X >= 0 && event.Y >= 0 && event.X < Window->ClientWidth() &&
            event.Y < Window->ClientHeight())
          Click();
      }
      break;
    default:
      break;
  }
}
