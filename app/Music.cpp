// Background music: one tune at a time, the race tune on the race screen and the menu tune
// everywhere else, reloaded whenever it wraps to its first order.
#include "app/MForm.h"
#include "app/ModPlayer.h"

void TMForm::PlaySong(const std::string& fileName) {
  LastSongOrder = 0;
  if (!Options.MusicOn || LogicOnly) return;
  if (SongHandle != 0) SongFree(SongHandle);
  SongHandle = SongLoadFromFile(fileName.c_str());
  if (SongHandle != 0) SongPlay(SongHandle);
}

void TMForm::PlayScreenMusic() {
  PlaySong(CurrentScreen == 1 ? "Data\\Music\\Race.xm" : "Data\\Music\\Menu.xm");
}

void TMForm::StopMusic() {
  if (SongHandle != 0) SongFree(SongHandle);
  SongHandle = 0;
}

void TMForm::KeepMusicAlive() {
  if (SongHandle == 0) return;
  if (SongGetOrder(SongHandle) == 0 && LastSongOrder != 0)
    PlayScreenMusic();
  else
    LastSongOrder = SongGetOrder(SongHandle);
}

void TMForm::ToggleMusic() {
  const bool wasOn = Options.MusicOn;
  Options.MusicOn = !Options.MusicOn;
  if (wasOn) StopMusic();
  if (Options.MusicOn) PlayScreenMusic();
}
