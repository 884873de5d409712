// The main window's life: its components, the start-up and shut-down sequences, the close
// request and the display mode.
#include "app/MForm.h"

#include "app/StartupData.h"
#include "game/menus/Menu.h"
#include "game/online/ResultSender.h"
#include "game/race/Dialogs.h"
#include "game/race/Text.h"
#include "game/replay/Playback.h"
#include "game/replay/Recorder.h"
#include "game/track/ScrollBackground.h"
#include "http/HttpClient.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXInput/DXInput.h"
#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/DXSprite/DXSprite.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/System.h"
#include "media/Platform/Text.h"

namespace {

// The main window's keyboard assignments: up to three keys per input state.
void AssignMainWindowKeys(TKeyboard& keyboard) {
  using namespace Platform;
  auto& keys = keyboard.KeyAssigns;
  for (auto& slots : keys) slots = {0, 0, 0};
  keys[isUp] = {VK_UP, 0, VK_NUMPAD8};
  keys[isDown] = {VK_DOWN, 0, 0};
  keys[isLeft] = {VK_LEFT, 0, 0};
  keys[isRight] = {VK_RIGHT, 0, 0};
  keys[isButton1] = {'Z', 0, 0};
  keys[isButton2] = {'X', 0, 0};
  keys[isButton3] = {'C', 0, 0};
  keys[isButton4] = {'P', 0, 0};
  keys[isButton5] = {VK_ESCAPE, 0, 0};
  keys[isButton6] = {'Y', 0, 0};
  keys[isButton7] = {'N', 0, 0};
  keys[isButton8] = {VK_SPACE, 0, 0};
  keys[isButton9] = {VK_RETURN, 0, 0};
}

}  // namespace

TMForm::TMForm(TApplication& application) : TMForm(application, nullptr) {}

TMForm::TMForm(TApplication& application, std::unique_ptr<TStartupData> startupData)
    : TDXForm(application, "Sprayrush", 800, 600), StartupData(std::move(startupData)) {
  MDXDraw = std::make_unique<TDXDraw>(Window.get());
  MDXDraw->Options = OptionBit(doAllowReboot) | OptionBit(doHardware) | OptionBit(doSelectDriver);
  MDXDraw->Display.Width = 800;
  MDXDraw->Display.Height = 600;
  MDXDraw->Display.BitCount = 16;
  MDXDraw->SurfaceWidth = 800;
  MDXDraw->SurfaceHeight = 600;
  MDXDraw->OnInitialize = [this] { MDXDrawInitialize(); };
  MDXDraw->OnFinalize = [this] { MDXDrawFinalize(); };

  MDXImageList = std::make_unique<TDXImageList>(MDXDraw.get());
  MDXImageList3 = std::make_unique<TDXImageList>(MDXDraw.get());
  MDXImageList->Items.KeepPictures = false;
  MDXImageList3->Items.KeepPictures = false;

  MDXTimer = std::make_unique<TDXTimer>(Application);
  MDXTimer->SetEnabled(false);
  MDXTimer->SetInterval(15);
  MDXTimer->ActiveOnly = true;
  MDXTimer->OnTimer = [this](TDXTimer& sender, int32_t lagCount) { MDXTimerTimer(sender, lagCount); };

  MDXSpriteEngine = std::make_unique<TDXSpriteEngine>(MDXDraw.get());

  MDXInput = std::make_unique<TDXInput>(&Application);
  MDXInput->ActiveOnly = true;
  AssignMainWindowKeys(MDXInput->Keyboard);

  MDXSound = std::make_unique<TDXSound>();
  MDXWaveList = std::make_unique<TDXWaveList>(MDXSound.get());

  MHttpClient = std::make_unique<THttpClient>();
  ResultSender = std::make_unique<TResultSender>();

  // Both initialise themselves once the window's parts exist.
  MDXDraw->Initialize();
  MDXSound->Loaded();
}

TMForm::~TMForm() {
  // Sprites and libraries let go of the surface and the sound output before those go.
  MDXTimer->OnTimer = nullptr;
  // A request still running finishes before the client it uses goes.
  ResultSender.reset();
  MHttpClient.reset();
  MDXSpriteEngine.reset();
  MDXWaveList.reset();
  MDXSound.reset();
  MDXImageList3.reset();
  MDXImageList.reset();
  MDXDraw->OnFinalize = nullptr;
  MDXDraw.reset();
  MDXInput.reset();
  MDXTimer.reset();
}

void TMForm::FormCreate() {
  std::unique_ptr<TStartupData> data = std::move(StartupData);
  if (!data) data = std::make_unique<TStartupData>(TStartupData::TWhen::WhenWaitedFor, LogicOnly);
  MDXImageList->Items.SizesOnly = MDXImageList3->Items.SizesOnly = LogicOnly;
  MDXImageList->Items.Take(data->TakeMenuPictures());
  MDXImageList3->Items.Take(data->TakeRacePictures());
  if (LogicOnly)
    MDXWaveList.reset();
  else
    MDXWaveList->Items.Take(data->TakeSounds());
  StartLanguage(*this);
  CurrentScreen = -1;
  RandomGen.Randomize();
  FrameStepMs = 15;
  SpeedScale = 0.5;
  LoadHighScores(HighScoreTable);
  LoadOptions(Options, HighScoreTable.StoredSignature);
  // A table edited outside the game, or one without its options file, starts afresh.
  if (!HighScoresValid(HighScoreTable)) ResetHighScores(HighScoreTable);
  ApplyDisplayMode();
  PrepareTextStyles(*this);
  ResetKeyEdges();
  Background = new TScrollBackground(*this, "MMBackground");
  FCreated = true;
  ShowMainMenu(*this, true, 0);
  // Proofs the score server could not take in an earlier run go now.
  UploadReplays(*this, {}, 0);
}

void TMForm::SaveOptionsFile() {
  SaveFailures.Run(OptionsFile, [this] { SaveOptions(Options, HighScoreSignature(HighScoreTable)); });
}

void TMForm::TellSaveFailures() {
  if (SaveFailures.Empty()) return;
  Platform::ShowErrorMessage(Application.Title, Platform::Cp1251ToUtf8(SaveFailures.Message(Texts(*this))));
  SaveFailures.Clear();
}

void TMForm::FormDestroy() {
  // The player's own table and options are saved, not a replay's.
  StopPlayback(*this);
  // The quit saved the options a moment ago; one box tells what the whole exit could not save.
  SavePlayerFiles();
  Application.Terminate();
}

void TMForm::SavePlayerFiles() {
  SaveOptionsFile();
  SaveFailures.Run(HighScoreFile, [this] { SaveHighScores(HighScoreTable); });
  // A player who never chose keeps today's saves, with no file of a language beside them.
  if (Language.Chosen) SaveFailures.Run(LanguageFile, [this] { SaveLanguage(Language.Current); });
  TellSaveFailures();
}

void TMForm::FormCloseQuery(bool& canClose) {
  // The window never closes by itself: leaving goes through the quit question, and in a
  // race through the leave question, once the time-over or the end of the game is done.
  canClose = false;
  if (CurrentScreen == 1 && !RaceDialogMayBeReplaced(*this)) return;
  OpenDialog(*this, 9);
  if (CurrentScreen == 1) OpenDialog(*this, 4);
}

void TMForm::MDXDrawInitialize() { MDXTimer->SetEnabled(true); }

void TMForm::MDXDrawFinalize() { MDXTimer->SetEnabled(false); }

void TMForm::QuitProgram() {
  // A replayed game's quit ends nothing and saves nothing.
  if (Watching(*this)) return;
  SaveOptionsFile();
  Application.Terminate();
}

void TMForm::PauseForMinimise() {
  // A race pauses while the window is away.
  if (CurrentScreen != 1) return;
  if (RaceDialogMayBeReplaced(*this))
    OpenDialog(*this, 2);
  else
    Dialog.PauseOwed = true;
}

void TMForm::ApplyDisplayMode() {
  MDXDraw->Display.BitCount = 16;
  if (!Options.FullScreen) {
    EnterWindowedMode();
    return;
  }
  try {
    EnterFullScreenMode();
  } catch (const EDXDrawError& error) {
    // Without a surface no frame would run again and the game would hang; the player
    // learns why and plays on in the window.
    Platform::ShowErrorMessage(Application.Title, Platform::Cp1251ToUtf8(error.what()));
    Options.FullScreen = false;
    EnterWindowedMode();
  }
}

void TMForm::EnterWindowedMode() {
  MDXDraw->Finalize();
  RestoreWindowPlacement();
  Window->Centre();
  MDXDraw->Options &= ~OptionBit(doFullScreen);
  MDXDraw->Initialize();
}

void TMForm::EnterFullScreenMode() {
  MDXDraw->Finalize();
  StoreWindowPlacement();
  MDXDraw->Options |= OptionBit(doFullScreen);
  MDXDraw->Initialize();
}

void TMForm::ToggleFullScreen() {
  Options.FullScreen = !Options.FullScreen;
  // A replayed game's switch stays inside the replay; the window is the viewer's.
  if (Watching(*this)) return;
  ApplyDisplayMode();
}

void TMForm::ShowSystemCursor() {
  while (Window->ShowCursor(true) <= 0) {
  }
}

void TMForm::HideSystemCursor() {
  while (Window->ShowCursor(false) >= 0) {
  }
}
