// sprayrush-run: plays a race headless from a script and prints its state; records it as
// a replay, plays a replay back, or checks one.
//
//   sprayrush-run [--trace] SCRIPT                (SCRIPT "-" reads standard input)
//   sprayrush-run [--trace] --record FILE SCRIPT  also writes the race's replay to FILE
//   sprayrush-run [--trace] --replay FILE         plays FILE; prints what the recording run printed
//   sprayrush-run --verify FILE                   re-plays FILE ("-": standard input) at full
//                                                 speed, nothing drawn, and prints one line
//   --language en|ru                              with any of them: the game speaks it, which
//                                                 changes nothing it prints
//
// The real game starts with SDL's dummy drivers on the built game's pictures, sounds and
// tunes, with a temporary folder of its own for saves, chooses the boat on the boat screen,
// and runs one frame per command frame with move count 1, whatever the wall clock says.
// The state line follows the last frame (with --trace every frame).
// Exit status: 0 done, 1 the game could not run, 2 a bad command line or script or a
// damaged replay, 3 a replay that does not come to its recorded end or was made by another
// version of the game.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/MForm.h"
#include "game/language/Language.h"
#include "game/menus/Screens.h"
#include "game/online/GoToLink.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/replay/Playback.h"
#include "game/replay/RaceDigest.h"
#include "game/replay/Recorder.h"
#include "game/replay/ReplayFile.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/Events.h"
#include "media/Platform/Files.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/Paths.h"
#include "media/Platform/System.h"
#include "media/Platform/Window.h"
#include "tools/run/Script.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Usage =
    "usage: sprayrush-run [--trace] SCRIPT                (SCRIPT '-' reads standard input)\n"
    "       sprayrush-run [--trace] --record FILE SCRIPT  also writes the race's replay to FILE\n"
    "       sprayrush-run [--trace] --replay FILE         plays a replay as its recording run played\n"
    "       sprayrush-run --verify FILE                   re-plays a replay ('-': standard input) at full\n"
    "                                                     speed and prints one line (see the README)\n"
    "       --language en|ru                              with any of them: the language the game speaks\n"
    "script commands, one a line, '#' starts a comment:\n"
    "  seed N        random seed before the race starts (default 1)\n"
    "  boat N        boat 1..3 (default 1)\n"
    "  hold KEYS N   hold KEYS for N frames: '-' or letters of U D L R F P E Y N C\n"
    "  type TEXT     type TEXT (UTF-8), then one frame\n"
    "  enter         press Enter, then one frame\n"
    "exit status: 0 done, 1 the game cannot run, 2 a bad command line or script or a damaged\n"
    "replay, 3 a replay that does not come to its recorded end or is of another version\n";

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
  TRun(bool trace, TLanguage language) : Trace(trace), Language(language) {}

  // Plays a script; with record, the race from the boat choice on is recorded and its
  // file image returned.
  std::vector<uint8_t> Play(const std::vector<TScriptCommand>& script, bool record) {
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
    Start(seed, boat, record);
    for (; next < script.size(); ++next) {
      const TScriptCommand& c = script[next];
      switch (c.Kind) {
        case TScriptCommand::Hold:
          for (uint32_t i = 0; i < c.Number; ++i) Frame(c.Keys);
          break;
        case TScriptCommand::Type:
          for (char ch : c.Text) Deliver(Platform::TEventKind::Char, 0, uint8_t(ch));
          Frame("");
          break;
        case TScriptCommand::Enter:
          Deliver(Platform::TEventKind::KeyDown, Platform::VK_RETURN);
          Deliver(Platform::TEventKind::Char, 0, 13);
          Deliver(Platform::TEventKind::KeyUp, Platform::VK_RETURN);
          Frame("");
          break;
        default:
          break;
      }
    }
    PrintEnd();
    return record ? FinishRecording(*Form) : std::vector<uint8_t>{};
  }

  const std::string& AddInfo() const { return Form->Options.AddInfo; }

  // Plays a replay through to its end (its logic alone: drawing changes nothing it
  // prints); what the game came to. The check prints no state line.
  TPlaybackOutcome Replay(TReplay replay, bool verify) {
    Open();
    StartPlayback(*Form, std::move(replay), TPlaybackView::Headless);
    while (PlayRecordedFrame(*Form)) {
      ++Frames;
      if (Trace) std::cout << StateLine(*Form, Frames) << '\n';
    }
    if (!verify) PrintEnd();
    return PlaybackOutcome(*Form);
  }

 private:
  void Open() {
    // A script that wanders into the menus opens no browser.
    SetLinkOpener([](const std::string&) {});
    Form = std::make_unique<TMForm>(Application);
    SetLanguage(*Form, Language);
    Form->MDXInput->Keyboard.Source = [this](Platform::TKeyboardState& keys) { keys = Held; };
    Form->MDXInput->Joystick.Source = [] { return Platform::TJoystickState{}; };
    Form->FormCreate();
  }

  void Start(uint32_t seed, uint32_t boat, bool record) {
    Open();
    if (record) Form->Replay.Mode = TRecordMode::Script;
    // As the player does it: the boat screen, then a click on the boat.
    ShowBoatScreen(*Form);
    Form->RandomGen.RandSeed = seed;
    Form->HotButton = int32_t(6 + boat);
    Form->MDXDrawClick();
  }

  // A window event, as the window delivers it.
  void Deliver(Platform::TEventKind kind, uint16_t key = 0, uint8_t ch = 0, uint8_t shift = 0) {
    Platform::TEvent event;
    event.Kind = kind;
    event.WindowId = Form->Window->Id();
    event.Key = key;
    event.Char = ch;
    event.Shift = shift;
    Form->HandleEvent(event);
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
      if (ctrl)
        Deliver(TEventKind::KeyDown, VK_CONTROL, 0, ssCtrl);
      else
        Deliver(TEventKind::KeyUp, VK_CONTROL);
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

  void PrintEnd() {
    if (!Trace || Frames == 0) std::cout << StateLine(*Form, Frames) << '\n';
  }

  bool Trace;
  TLanguage Language;
  uint32_t Now = 100000;
  TApplication Application{[this] { return Now; }};
  std::unique_ptr<TMForm> Form;
  Platform::TKeyboardState Held{};
  bool CtrlDown = false;
  uint64_t Frames = 0;
};

std::string Hex(const std::string& bytes) {
  static const char Digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += Digits[c >> 4];
    out += Digits[c & 15];
  }
  return out;
}

std::string Checksum(uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, v);
  return text;
}

// The replay file, or standard input for "-".
std::vector<uint8_t> ReadInput(const std::string& name) {
  std::ifstream file;
  if (name != "-") {
    file.open(Platform::PathFromUtf8(name), std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + name);
  }
  return ReadReplayBytes(name == "-" ? std::cin : file);
}

// --verify: one line on standard output whenever the file could be read.
void PrintVerdict(const char* result, const TReplay& replay, const TPlaybackOutcome* o,
                  const std::string& addInfo) {
  const TReplayResult& claim = replay.Result;
  std::cout << "result=" << result;
  if (o) {
    std::cout << " score=" << o->Score << " name=" << Hex(o->PlayerName) << " add=" << Hex(addInfo)
              << " table=" << o->EnteredTable << " sent=" << o->Sent << " frames=" << o->Frames
              << " checksum=" << Checksum(o->Checksum);
  } else {
    std::cout << " score=- name=- add=- table=- sent=- frames=- checksum=-";
  }
  std::cout << " claimed_score=" << claim.Score << " claimed_name=" << Hex(claim.PlayerName)
            << " claimed_frames=" << claim.Frames << " claimed_checksum=" << Checksum(claim.Checksum)
            << " simulation=" << replay.Simulation << '\n';
}

int Fail(const std::string& message, int status) {
  std::cout.flush();
  std::cerr << "sprayrush-run: " << message << '\n';
  return status;
}

// The built data and a run folder of its own around whatever runs.
template <typename TBody>
int WithGame(TBody body) {
  // Always headless, whatever the caller's environment says.
  Platform::SetEnvironment("SDL_VIDEODRIVER", "dummy");
  Platform::SetEnvironment("SDL_AUDIODRIVER", "dummy");
  const fs::path game = GameFolder();
  if (!fs::exists(game / "Data" / "Res" / "Res1.dxg"))
    throw std::runtime_error("the game data is not built (" + Platform::PathToUtf8(game / "Data") + ")");
  Platform::TSystemLifetime system;
  TRunFolders folders(game);
  return body();
}

int RunScript(const std::string& scriptName, const std::string& recordFile, bool trace, TLanguage language) {
  std::vector<TScriptCommand> script;
  try {
    std::ifstream file;
    if (scriptName != "-") {
      file.open(Platform::PathFromUtf8(scriptName));
      if (!file) return Fail("cannot read " + scriptName, 2);
    }
    script = ParseScript(scriptName == "-" ? std::cin : file);
  } catch (const EScriptError& error) {
    return Fail(scriptName + ": " + error.what(), 2);
  }
  std::vector<uint8_t> replay;
  const int status = WithGame([&] {
    TRun run(trace, language);
    replay = run.Play(script, !recordFile.empty());
    return 0;
  });
  if (!recordFile.empty()) {
    std::ofstream out(Platform::PathFromUtf8(recordFile), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(replay.data()), std::streamsize(replay.size()));
    if (!out.flush()) return Fail("cannot write " + recordFile, 2);
  }
  return status;
}

int RunReplay(const std::string& fileName, bool verify, bool trace, TLanguage language) {
  TReplay replay;
  try {
    replay = DecodeReplay(ReadInput(fileName));
  } catch (const EReplayDamaged& error) {
    return Fail(fileName + ": " + error.what(), 2);
  } catch (const EReplayVersion& error) {
    return Fail(fileName + ": " + error.what(), 3);
  } catch (const std::exception& error) {
    return Fail(error.what(), 2);
  }
  // Another simulation is told before the game starts, as cheaply as a damaged file.
  try {
    CheckSimulation(replay);
  } catch (const EReplayVersion& error) {
    if (verify) PrintVerdict("version", replay, nullptr, "");
    return Fail(fileName + ": " + error.what(), 3);
  }
  return WithGame([&] {
    TRun run(trace, language);
    TPlaybackOutcome outcome;
    std::string addInfo;
    try {
      outcome = run.Replay(replay, verify);
      addInfo = run.AddInfo();
    } catch (const EReplayVersion& error) {
      if (verify) PrintVerdict("version", replay, nullptr, "");
      return Fail(fileName + ": " + error.what(), 3);
    }
    if (verify) PrintVerdict(outcome.Reproduced ? "reproduced" : "differs", replay, &outcome, addInfo);
    if (outcome.Reproduced) return 0;
    return Fail(fileName + ": the replay does not come to its recorded end (score " +
                    std::to_string(outcome.Score) + ", recorded " + std::to_string(replay.Result.Score) +
                    "; checksum " + Checksum(outcome.Checksum) + ", recorded " +
                    Checksum(replay.Result.Checksum) + ")",
                3);
  });
}

}  // namespace

int main(int argc, char** argv) {
  bool trace = false;
  std::string scriptName, recordFile, replayFile, verifyFile, languageCode;
  Platform::UseBinaryStandardStreams();
  const std::vector<std::string> args = Platform::Utf8Arguments(argc, argv);
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* value = arg == "--record"     ? &recordFile
                         : arg == "--replay"   ? &replayFile
                         : arg == "--verify"   ? &verifyFile
                         : arg == "--language" ? &languageCode
                                               : nullptr;
    if (arg == "--trace") {
      trace = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << Usage;
      return 0;
    } else if (value && value->empty() && i + 1 < args.size() && !args[i + 1].empty()) {
      *value = args[++i];
    } else if (!value && scriptName.empty() && (arg == "-" || arg.rfind("-", 0) != 0)) {
      scriptName = arg;
    } else {
      std::cerr << "sprayrush-run: unexpected argument '" << arg << "'\n" << Usage;
      return 2;
    }
  }
  const std::optional<TLanguage> language = languageCode.empty() ? TLanguage::Russian : LanguageOfCode(languageCode);
  const bool replays = !replayFile.empty() || !verifyFile.empty();
  const bool valid = replays ? scriptName.empty() && recordFile.empty() &&
                                   (replayFile.empty() || verifyFile.empty()) && !(trace && !verifyFile.empty())
                             : !scriptName.empty();
  if (!valid || !language) {
    std::cerr << Usage;
    return 2;
  }
  try {
    if (replays)
      return verifyFile.empty() ? RunReplay(replayFile, false, trace, *language)
                                : RunReplay(verifyFile, true, false, *language);
    return RunScript(scriptName, recordFile, trace, *language);
  } catch (const std::exception& error) {
    return Fail(error.what(), 1);
  }
}
