#pragma once
// The main window: owns every long-lived component and the game's state, one object
// per game so that a test can build a fresh one and drive it frame by frame.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/Random.h"
#include "game/language/Language.h"
#include "game/menus/MenuState.h"
#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/persist/SaveReport.h"
#include "game/race/Dialogs.h"
#include "game/race/RaceState.h"
#include "game/replay/ReplayState.h"
#include "game/track/TrackState.h"
#include "media/DXClass/DXForm.h"

class TApplication;
class TDXDraw;
class TDXImageList;
class TDXTimer;
class TDXSpriteEngine;
class TDXInput;
class TDXWaveList;
class TDXSound;
class THttpClient;
class TResultSender;
class TScrollBackground;
class TStartupData;

class TMForm : public TDXForm {
 public:
  // Creates the window (hidden until the message loop runs) and the components; the
  // drawing surface initialises itself at once, which enables the frame timer. The
  // start-up sequence that loads the data is FormCreate, run by the entry right after;
  // it takes the data from startupData when the entry began reading it before the
  // window, and reads it itself otherwise.
  explicit TMForm(TApplication& application);
  TMForm(TApplication& application, std::unique_ptr<TStartupData> startupData);
  ~TMForm() override;

  // --- components (created with the form, freed with it); Window is the base's ---
  std::unique_ptr<TDXDraw> MDXDraw;
  std::unique_ptr<TDXImageList> MDXImageList;   // "Data\Res\Res1.dxg"
  std::unique_ptr<TDXImageList> MDXImageList3;  // "Data\Res\Res3.dxg"
  std::unique_ptr<TDXTimer> MDXTimer;
  std::unique_ptr<TDXSpriteEngine> MDXSpriteEngine;
  std::unique_ptr<TDXInput> MDXInput;
  std::unique_ptr<TDXSound> MDXSound;
  std::unique_ptr<TDXWaveList> MDXWaveList;     // "Data\Res\Sounds.dxw"
  std::unique_ptr<THttpClient> MHttpClient;     // sends results to the score server
  std::unique_ptr<TResultSender> ResultSender;  // runs the request off the frame loop

  // --- program-wide values ---
  int32_t CurrentScreen = -1;
  uint8_t ActiveDialog = 0;
  int32_t HotButton = 0;
  int32_t FrameStepMs = 15;
  double SpeedScale = 0.5;
  TGameOptions Options;  // FullScreen, MusicOn, SoundOn, AddInfo
  THighScoreTable HighScoreTable;

  // --- each part's own state ---
  TMenuState Menu;
  TOptionsScreenState OptionsScreen;
  TDialogState Dialog;
  TRaceState Race;
  TTrackState Track;
  TReplayState Replay;
  TSaveFailures SaveFailures;  // told to the player once, as the window goes
  TLanguageState Language;

  // --- mouse and raw keys ---
  int32_t MouseX = 0, MouseY = 0;  // surface pixels
  bool CtrlHeld = false;           // a second fire key
  bool EnterHeld = false;          // Alt+Enter switches once a press, not on each repeat
  uint32_t ControllerButtonsBefore = 0;  // the controller's buttons in the frame before

  // --- key edges: true for the one frame in which the key went down ---
  bool PausePressed = false, EscapePressed = false, YesPressed = false, NoPressed = false;
  // whether each key was down in the previous frame
  bool PauseWasDown = false, EscapeWasDown = false, YesWasDown = false, NoWasDown = false;

  // --- the runtime's random generator; seeded from the clock by FormCreate ---
  TRandom RandomGen;
  int32_t Random(int32_t range) { return RandomGen.Random(range); }
  double Random() { return RandomGen.Random(); }

  // --- effects ---
  TScrollBackground* Background = nullptr;  // lives for the whole run
  // The player boat's ScrollStep of this frame, kept current by the race; the
  // background scrolls by it.
  double ScrollStep = 0;

  // --- start, end and display mode ---
  // Loads the data and starts the game; a data file that is missing or damaged raises
  // the library's error and the steps after it do not run.
  void FormCreate();
  // Saves the player's data and ends the message loop; the entry runs it when the
  // window goes, and only after a complete FormCreate.
  void FormDestroy();
  // Writes the options, the high scores and a chosen language, and tells the player in
  // one box what could not be written (the old files stay).
  void SavePlayerFiles();
  void FormCloseQuery(bool& canClose);
  void MDXDrawInitialize();
  void MDXDrawFinalize();
  void QuitProgram();
  void ApplyDisplayMode();
  void EnterWindowedMode();
  void EnterFullScreenMode();
  void ToggleFullScreen();
  void ShowSystemCursor();
  void HideSystemCursor();
  bool Created() const { return FCreated; }

  // --- the frame loop and the dispatcher ---
  void MDXTimerTimer(TDXTimer& sender, int32_t lagCount);
  // A frame once its input is in place: the key edges, the controller's Enter and
  // Escape, then the screen's or the question's frame handler.
  void RunFrame(int32_t lagCount);
  void DispatchFrame(int32_t lagCount);
  // The move count of the frame running now; 0 between frames.
  int32_t FrameLag = 0;
  // Frames run their logic but draw and present nothing (a replay checked at full speed).
  bool SkipPictures = false;
  // Only the game's logic runs, nothing is drawn or heard, so no sound, tune or picture
  // pixels are ever loaded (the runner's re-plays: a replay that switches the music on and
  // off costs nothing); set before FormCreate.
  bool LogicOnly = false;
  void PollKeyEdges();
  void ResetKeyEdges();
  void ToggleSound();
  void ButtonClick(bool fromKeyboard);
  void MDXDrawClick();

  // --- keyboard and mouse routing ---
  void MDXDrawMouseMove(uint8_t shift, int x, int y);
  void FormKeyDown(uint16_t& key, uint8_t shift);
  void FormKeyUp(uint16_t& key, uint8_t shift);
  void FormKeyPress(uint8_t& key);
  void WMSysCommand(uint32_t command) override;
  // The game's part of minimising: a race pauses.
  void PauseForMinimise();
  void HandleEvent(const Platform::TEvent& event) override;
  // A controller has no Enter or Escape: off the questions its A and B buttons stand in.
  void RouteControllerButtons();

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

 protected:
  // Window events, written into the game's replay on their way to the handlers above.
  void CloseQuery(bool& canClose) override;
  void Click() override;
  void DblClick() override;
  void MouseMove(uint8_t shift, int x, int y) override;
  void KeyDown(uint16_t& key, uint8_t shift) override;
  void KeyUp(uint16_t& key, uint8_t shift) override;
  void KeyPress(uint8_t& key) override;

 private:
  using TFrameHandler = void (*)(TMForm& form, int32_t lagCount);
  // The frame handler of a screen code; none for a code without one.
  static TFrameHandler FrameHandlerOf(int32_t screen);

  // A failed save keeps the old file and is told to the player when the window goes.
  void SaveOptionsFile();
  void TellSaveFailures();

  std::unique_ptr<TStartupData> StartupData;
  bool FCreated = false;
};
