// Window events on their way into the game. A game being recorded has each one written
// down before the game acts on it, so a replay feeds it back at the same point between
// the same frames; while a replay plays, the viewer's keys steer the playback and nothing
// else reaches the game.
#include "app/MForm.h"
#include "game/replay/Playback.h"
#include "game/replay/Recorder.h"
#include "media/Platform/Keyboard.h"

void TMForm::HandleEvent(const Platform::TEvent& event) {
  if (Watching(*this) && WatchEvent(*this, event)) return;
  TDXForm::HandleEvent(event);
  EndRecordingIfOver(*this);
}

void TMForm::KeyDown(uint16_t& key, uint8_t shift) {
  // Held keys repeat; the game sees Ctrl go down once.
  if (key == Platform::VK_CONTROL && !CtrlHeld) RecordEvent(*this, TReplayEventKind::CtrlDown);
  FormKeyDown(key, shift);
  WatchFromMenu(*this, key);
}

void TMForm::KeyUp(uint16_t& key, uint8_t shift) {
  if (key == Platform::VK_CONTROL && CtrlHeld) RecordEvent(*this, TReplayEventKind::CtrlUp);
  FormKeyUp(key, shift);
}

void TMForm::KeyPress(uint8_t& key) {
  RecordEvent(*this, TReplayEventKind::Char, key);
  FormKeyPress(key);
}

void TMForm::MouseMove(uint8_t shift, int x, int y) {
  const int32_t hot = HotButton;
  MDXDrawMouseMove(shift, x, y);
  // The pointer matters to the game only where it changes the hot button.
  if (HotButton != hot) RecordEvent(*this, TReplayEventKind::Pointer, 0, x, y);
}

void TMForm::Click() {
  RecordEvent(*this, TReplayEventKind::Click);
  MDXDrawClick();
}

void TMForm::DblClick() {
  RecordEvent(*this, TReplayEventKind::Click);
  MDXDrawClick();
}

void TMForm::CloseQuery(bool& canClose) {
  RecordEvent(*this, TReplayEventKind::Close);
  FormCloseQuery(canClose);
}

void TMForm::WMSysCommand(uint32_t command) {
  if ((command & 0xFFF0) == SC_MINIMIZE && !Watching(*this)) {
    RecordEvent(*this, TReplayEventKind::Minimise);
    PauseForMinimise();
  }
  TDXForm::WMSysCommand(command);
}
