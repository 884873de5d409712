#pragma once
// A fresh game under the dummy drivers, driven frame by frame with its own clock and keys,
// in a run folder of its own: the built game's data, saves kept apart from the build.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>

#include "app/MForm.h"
#include "game/online/SubmitResult.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/Paths.h"

// Changes into a new folder with an empty Data/Save for the player's files; the game's
// data comes from the built game. Goes back and removes it at the end.
class TGameFolder {
 public:
  TGameFolder() : Old(std::filesystem::current_path()) {
    namespace fs = std::filesystem;
    static std::atomic<int> counter{0};
    Dir = fs::temp_directory_path() /
          ("sprayrush-game-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "Data" / "Save");
    fs::current_path(Dir);
    Platform::SetGameFolders({Platform::PathFromUtf8(SPRAYRUSH_GAME_DIR), Dir});
    // Results sent in a test go to a closed port, never to a real table.
    SetScoreServerOverride("127.0.0.1:1");
  }
  ~TGameFolder() {
    SetScoreServerOverride("");
    Platform::SetGameFolders({});
    std::error_code ec;
    std::filesystem::current_path(Old, ec);
    std::filesystem::remove_all(Dir, ec);
  }
  TGameFolder(const TGameFolder&) = delete;
  TGameFolder& operator=(const TGameFolder&) = delete;

  static bool DataBuilt() {
    const std::filesystem::path data = std::filesystem::path(SPRAYRUSH_GAME_DIR) / "Data/Res";
    return std::filesystem::exists(data / "Res1.dxg") && std::filesystem::exists(data / "Res3.dxg") &&
           std::filesystem::exists(data / "Sounds.dxw");
  }

  std::filesystem::path Dir;

 private:
  std::filesystem::path Old;
};

struct TGameRig {
  TGameFolder Folder;
  uint32_t Now = 50000;
  Platform::TKeyboardState Held{};
  TApplication Application{[this] { return Now; }};
  std::unique_ptr<TMForm> Form;
  int Frames = 0;

  TGameRig() {
    Form = std::make_unique<TMForm>(Application);
    Form->MDXInput->Keyboard.Source = [this](Platform::TKeyboardState& keys) { keys = Held; };
    Form->MDXInput->Joystick.Source = [] { return Platform::TJoystickState{}; };
    auto frame = Form->MDXTimer->OnTimer;
    Form->MDXTimer->OnTimer = [this, frame](TDXTimer& sender, int32_t lag) {
      ++Frames;
      frame(sender, lag);
    };
  }

  // Runs the game's start-up with the built data: the main menu begins to slide in.
  void Start(uint32_t seed = 1) {
    Form->FormCreate();
    Form->RandomGen.RandSeed = seed;
  }

  void Hold(std::initializer_list<uint16_t> keys) {
    Held.fill(0);
    for (uint16_t k : keys) Held[k] = 0x80;
  }
  // Lets one frame's worth of time pass and gives the loop its idle turn.
  void Frame() {
    Now += 15;
    Application.ProcessMessages();
    Application.Idle();
  }
  void RunFrames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  // Types one character as the window would deliver it.
  void Type(uint8_t ch) { Form->FormKeyPress(ch); }
};
