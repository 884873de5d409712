// sprayrush-run: plays a race headless from a script and prints its state.
//
//   sprayrush-run [--trace] SCRIPT      (SCRIPT "-" reads standard input)
//
// The real game starts with SDL's dummy drivers on the built game's pictures, sounds and
// tunes, with a temporary folder of its own for saves, chooses the boat on the boat screen,
// and runs one frame per command frame with move count 1, whatever the wall clock says.
// The state line follows the last frame (with --trace every frame).
// Exit status: 0 done, 1 the game could not run, 2 a bad command line or script.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/MForm.h"
#include "game/menus/Screens.h"
#include "game/online/GoToLink.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/Files.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/Paths.h"
#include "media/Platform/System.h"
#include "tools/run/RaceDigest.h"
#include "tools/run/Script.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Usage =
    "usage: sprayrush-run [--trace] SCRIPT   (SCRIPT '-' reads standard input)\n"
    "script commands, one a line, '#' starts a comment:\n"
    "  seed N        random seed before the race starts (default 1)\n"
    "  boat N        boat 1..3 (default 1)\n"
    "  hold KEYS N   hold KEYS for N frames: '-' or letters of U D L R F P E Y N C\n"
    "  type TEXT     type TEXT (UTF-8), then one frame\n"
    "  enter         press Enter, then one frame\n";

// The built game's folder: the one the runner lies in (the Windows folder), the game
// folder beside the runner's build folder, else where it was built.
fs::path GameFolder() {
  std::error_code ec;
  const fs::path self = Platform::ProgramFolder();
  for (const fs::path& folder : {self, self.parent_path() / "game"})
    if (fs::exists(folder / "Data" / "Res" / "Res1.dxg", ec)) return folder;
  return Platform::PathFromUtf8(SPRAYRUSH_GAME_DIR);
}

// The game's data from the built game, saves in a temporary folder of its own, so no
// save of the player's is read or written; a result sent from a run goes to a closed
// port on this machine, never to a table.
class TRunFolders {
 public:
  explicit TRunFolders(const fs::path& game) : Saves(Platform::MakeTempFolder("sprayrush-run-")) {
    Platform::SetGameFolders({game, Saves});
    SetScoreServerOverride("127.0.0.1:1");
  }
  ~TRunFolders() {
    SetScoreServerOverride("");
    Platform::ResetGameFolders();
    std::error_code ec;
    fs::remove_all(Saves, ec);
  }
  TRunFolders(const TRunFolders&) = delete;
  TRunFolders& operator=(const TRunFolders&) = delete;

 private:
  fs::path Saves;
};

class TRun {
 public:
  TRun(bool trace) : Trace(trace) {}

  void Play(const std::vector<TScriptCommand>& script) {
    uint32_t seed = 1, boat = 1;
    size_t next = 0;
    for (; next < script.size(); ++next) {
      const TScriptCommand& c = script[next];
      if (c.Kind == TScriptCommand::Seed)
        seed = c.Number;
      else if (c.Kind == TScriptCommand::Boat)
        boat = c.Number;
      else
        break;
    }
    Start(seed, boat);
    for (; next < script.size(); ++next) {
      const TScriptCommand& c = script[next];
      switch (c.Kind) {
        case TScriptCommand::Hold:
          for (uint32_t i = 0; i < c.Number; ++i) Frame(c.Keys);
          break;
        case TScriptCommand::Type:
          for (char ch : c.Text) {
            uint8_t key = uint8_t(ch);
            Form->FormKeyPress(key);
          }
          Frame("");
          break;
        case TScriptCommand::Enter: {
          uint16_t key = Platform::VK_RETURN;
          uint8_t ch = 13;
          Form->FormKeyDown(key, 0);
          Form->FormKeyPress(ch);
          Form->FormKeyUp(key, 0);
          Frame("");
          break;
        }
        default:
          break;
      }
    }
    if (!Trace || Frames == 0) std::cout << StateLine(*Form, Frames) << '\n';
  }

 private:
  void Start(uint32_t seed, uint32_t boat) {
    // A script that wanders into the menus opens no browser.
    SetLinkOpener([](const std::string&) {});
    Form = std::make_unique<TMForm>(Application);
    Form->MDXInput->Keyboard.Source = [this](Platform::TKeyboardState& keys) { keys = Held; };
    Form->MDXInput->Joystick.Source = [] { return Platform::TJoystickState{}; };
    Form->FormCreate();
    // As the player does it: the boat screen, then a click on the boat.
    ShowBoatScreen(*Form);
    Form->RandomGen.RandSeed = seed;
    Form->HotButton = int32_t(6 + boat);
    Form->MDXDrawClick();
  }

  void Frame(const std::string& keys) {
    using namespace Platform;
    Held.fill(0);
    bool ctrl = false;
    for (char k : keys) {
      switch (k) {
        case 'U': Held[VK_UP] = 0x80; break;
        case 'D': Held[VK_DOWN] = 0x80; break;
        case 'L': Held[VK_LEFT] = 0x80; break;
        case 'R': Held[VK_RIGHT] = 0x80; break;
        case 'F': Held[VK_SPACE] = 0x80; break;
        case 'P': Held['P'] = 0x80; break;
        case 'E': Held[VK_ESCAPE] = 0x80; break;
        case 'Y': Held['Y'] = 0x80; break;
        case 'N': Held['N'] = 0x80; break;
        case 'C': ctrl = true; break;
        default: break;
      }
    }
    // Ctrl reaches the game as key events, not as an input state.
    if (ctrl != CtrlDown) {
      uint16_t key = VK_CONTROL;
      if (ctrl)
        Form->FormKeyDown(key, ssCtrl);
      else
        Form->FormKeyUp(key, 0);
      CtrlDown = ctrl;
    }
    Now += 15;
    // A result being sent has its answer before the next frame, so a run never depends
    // on how fast the network answers.
    Form->ResultSender->Wait();
    Form->MDXTimerTimer(*Form->MDXTimer, 1);
    ++Frames;
    if (Trace) std::cout << StateLine(*Form, Frames) << '\n';
  }

  bool Trace;
  uint32_t Now = 100000;
  TApplication Application{[this] { return Now; }};
  std::unique_ptr<TMForm> Form;
  Platform::TKeyboardState Held{};
  bool CtrlDown = false;
  uint64_t Frames = 0;
};

}  // namespace

int main(int argc, char** argv) {
  bool trace = false;
  std::string scriptName;
  Platform::UseBinaryStandardStreams();
  const std::vector<std::string> args = Platform::Utf8Arguments(argc, argv);
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--trace") {
      trace = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << Usage;
      return 0;
    } else if (scriptName.empty() && (arg == "-" || arg.rfind("-", 0) != 0)) {
      scriptName = arg;
    } else {
      std::cerr << "sprayrush-run: unexpected argument '" << arg << "'\n" << Usage;
      return 2;
    }
  }
  if (scriptName.empty()) {
    std::cerr << Usage;
    return 2;
  }

  std::vector<TScriptCommand> script;
  try {
    std::ifstream file;
    if (scriptName != "-") {
      file.open(Platform::PathFromUtf8(scriptName));
      if (!file) {
        std::cerr << "sprayrush-run: cannot read " << scriptName << '\n';
        return 2;
      }
    }
    script = ParseScript(scriptName == "-" ? std::cin : file);
  } catch (const EScriptError& error) {
    std::cerr << "sprayrush-run: " << scriptName << ": " << error.what() << '\n';
    return 2;
  }

  // Always headless, whatever the caller's environment says.
  Platform::SetEnvironment("SDL_VIDEODRIVER", "dummy");
  Platform::SetEnvironment("SDL_AUDIODRIVER", "dummy");
  try {
    const fs::path game = GameFolder();
    if (!fs::exists(game / "Data" / "Res" / "Res1.dxg"))
      throw std::runtime_error("the game data is not built (" + Platform::PathToUtf8(game / "Data") + ")");
    Platform::TSystemLifetime system;
    TRunFolders folders(game);
    TRun run(trace);
    run.Play(script);
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "sprayrush-run: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
