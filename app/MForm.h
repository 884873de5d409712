#pragma once
// The main window: owns every long-lived component and the game's state, one object
// per game so that a test can build a fresh one and drive it frame by frame.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TDXDraw;
class TDXImageList;
class TDXTimer;
class TDXSpriteEngine;
class TDXInput;
class TDXWaveList;
class TDXSound;
class TScrollBackground;
namespace Platform {
class TWindow;
}

class TMForm {
 public:
  // --- components (created with the form, freed with it) ---
  std::unique_ptr<Platform::TWindow> Window;
  std::unique_ptr<TDXDraw> MDXDraw;
  std::unique_ptr<TDXImageList> MDXImageList;   // "Data\Res\Res1.dxg"
  std::unique_ptr<TDXImageList> MDXImageList3;  // "Data\Res\Res3.dxg"
  std::unique_ptr<TDXTimer> MDXTimer;
  std::unique_ptr<TDXSpriteEngine> MDXSpriteEngine;
  std::unique_ptr<TDXInput> MDXInput;
  std::unique_ptr<TDXSound> MDXSound;
  std::unique_ptr<TDXWaveList> MDXWaveList;     // "Data\Res\Sounds.dxw"

  // --- program-wide values ---
  int32_t CurrentScreen = -1;
  uint8_t ActiveDialog = 0;
  int32_t HotButton = 0;
  int32_t FrameStepMs = 15;
  double SpeedScale = 0.5;
  bool FullScreen = false, MusicOn = true, SoundOn = true;

  // --- key edges ---
  bool PausePressed = false, EscapePressed = false, YesPressed = false, NoPressed = false;

  // --- effects ---
  TScrollBackground* Background = nullptr;  // lives for the whole run
  // The player boat's ScrollStep of this frame, kept current by the race; the
  // background scrolls by it.
  double ScrollStep = 0;

  // --- music ---
  uintptr_t SongHandle = 0;
  int32_t LastSongOrder = 0;
  void PlaySong(const std::string& fileName);
  void PlayScreenMusic();
  void StopMusic();
  void KeepMusicAlive();  // first step of every frame
  void ToggleMusic();

  // --- sound effects (silent while SoundOn is false) ---
  void PlaySound(std::string_view name);  // stops the named wave and plays it from its start
  void StopSound(std::string_view name);
};
