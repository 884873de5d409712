// A long race played headless: ten minutes of game time (40000 frames), throttle held,
// steering back and forth, the gun firing all the time, through several levels. Reports
// the CPU time per frame of game logic plus drawing (mean, 99th percentile, worst) and
// how it divides into logic, the collision search, drawing, text and the present (handing
// the finished picture to the window, which headless is SDL's software renderer).
//
// The race keeps the gun and the shield topped up, so that the ray is cast every frame
// and no crash ends the run early. The shares come from timing four groups of functions
// at their entry (the linker routes their calls through the wrappers below); logic is
// the rest of the frame.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "app/MForm.h"
#include "game/menus/Screens.h"
#include "game/race/MyCarSprite.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXInput/DXInput.h"
#include "media/DXSprite/DXSprite.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/System.h"

namespace fs = std::filesystem;

namespace {

enum TPart { ptCollision, ptDrawing, ptText, ptPresent, ptParts };

struct TPartClock {
  bool On = false;
  int Depth = 0;  // drawing inside drawing counts once
  double Seconds[ptParts] = {};
};
TPartClock Parts;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Times one call of a part, the outermost one only.
class TPartTimer {
 public:
  explicit TPartTimer(TPart part) : Part(part), Timing(Parts.On && Parts.Depth++ == 0) {
    if (Timing) Start = Now();
  }
  ~TPartTimer() {
    if (!Parts.On) return;
    if (Timing) Parts.Seconds[Part] += Now() - Start;
    --Parts.Depth;
  }

 private:
  TPart Part;
  bool Timing;
  double Start = 0;
};

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

}  // namespace

// The linker sends the game's calls of these functions here (see CMakeLists.txt).
extern "C" {
int32_t __real__ZN7TSprite7CollideEv(TSprite* self);
void __real__ZN15TDXSpriteEngine4DrawEv(TDXSpriteEngine* self);
void __real__ZN18TDirectDrawSurface4FillEt(TDirectDrawSurface* self, uint16_t color);
void __real__ZN7TDXDraw4FlipEv(TDXDraw* self);
void __real__ZNK22TPictureCollectionItem10DrawRotateER18TDirectDrawSurfaceiiiiiddi(
    const TPictureCollectionItem* self, TDirectDrawSurface& dest, int x, int y, int width, int height,
    int pattern, double centerX, double centerY, int angle);
void __real__ZN7TCanvas7TextOutEiiSt17basic_string_viewIcSt11char_traitsIcEE(TCanvas* self, int x, int y,
                                                                            std::string_view text);
int __real__ZN7TCanvas9TextWidthESt17basic_string_viewIcSt11char_traitsIcEE(TCanvas* self,
                                                                           std::string_view text);

int32_t __wrap__ZN7TSprite7CollideEv(TSprite* self) {
  TPartTimer t(ptCollision);
  return __real__ZN7TSprite7CollideEv(self);
}
void __wrap__ZN15TDXSpriteEngine4DrawEv(TDXSpriteEngine* self) {
  TPartTimer t(ptDrawing);
  __real__ZN15TDXSpriteEngine4DrawEv(self);
}
void __wrap__ZN18TDirectDrawSurface4FillEt(TDirectDrawSurface* self, uint16_t color) {
  TPartTimer t(ptDrawing);
  __real__ZN18TDirectDrawSurface4FillEt(self, color);
}
void __wrap__ZN7TDXDraw4FlipEv(TDXDraw* self) {
  TPartTimer t(ptPresent);
  __real__ZN7TDXDraw4FlipEv(self);
}
void __wrap__ZNK22TPictureCollectionItem10DrawRotateER18TDirectDrawSurfaceiiiiiddi(
    const TPictureCollectionItem* self, TDirectDrawSurface& dest, int x, int y, int width, int height,
    int pattern, double centerX, double centerY, int angle) {
  TPartTimer t(ptDrawing);
  __real__ZNK22TPictureCollectionItem10DrawRotateER18TDirectDrawSurfaceiiiiiddi(
      self, dest, x, y, width, height, pattern, centerX, centerY, angle);
}
void __wrap__ZN7TCanvas7TextOutEiiSt17basic_string_viewIcSt11char_traitsIcEE(TCanvas* self, int x, int y,
                                                                            std::string_view text) {
  TPartTimer t(ptText);
  __real__ZN7TCanvas7TextOutEiiSt17basic_string_viewIcSt11char_traitsIcEE(self, x, y, text);
}
int __wrap__ZN7TCanvas9TextWidthESt17basic_string_viewIcSt11char_traitsIcEE(TCanvas* self,
                                                                           std::string_view text) {
  TPartTimer t(ptText);
  return __real__ZN7TCanvas9TextWidthESt17basic_string_viewIcSt11char_traitsIcEE(self, text);
}
}

namespace {

constexpr int RaceFrames = 40000;  // ten minutes at 15 ms a frame

// A run folder with the built data and no saves.
class TBenchFolder {
 public:
  TBenchFolder() : Old(fs::current_path()) {
    Dir = fs::temp_directory_path() / ("sprayrush-bench-" + std::to_string(::getpid()));
    fs::remove_all(Dir);
    fs::create_directories(Dir / "Data" / "Save");
    for (const char* sub : {"Res", "Music"})
      fs::create_directory_symlink(fs::path(SPRAYRUSH_GAME_DIR) / "Data" / sub, Dir / "Data" / sub);
    fs::current_path(Dir);
  }
  ~TBenchFolder() {
    std::error_code ec;
    fs::current_path(Old, ec);
    fs::remove_all(Dir, ec);
  }

 private:
  fs::path Old, Dir;
};

struct TRaceRun {
  std::vector<double> FrameSeconds;  // CPU time of the thread
  double WallSeconds = 0;            // the frames' wall time, to set the parts against
  std::vector<double> WithoutPresent;  // with parts on: each frame's wall time but the present
  int Level = 0;
  int Score = 0;
};

// Plays the race once; with parts on, the four groups are timed as well.
TRaceRun PlayRace(bool timeParts) {
  TRaceRun run;
  TBenchFolder folder;
  uint32_t now = 100000;
  TApplication application([&] { return now; });
  auto form = std::make_unique<TMForm>(application);
  Platform::TKeyboardState held{};
  form->MDXInput->Keyboard.Source = [&](Platform::TKeyboardState& keys) { keys = held; };
  form->MDXInput->Joystick.Source = [] { return Platform::TJoystickState{}; };
  form->Options.MusicOn = false;  // the tune plays on its own thread
  form->FormCreate();
  ShowBoatScreen(*form);
  form->RandomGen.RandSeed = 12345;
  form->HotButton = 7;
  form->MDXDrawClick();

  run.FrameSeconds.reserve(RaceFrames);
  Parts = {};
  Parts.On = timeParts;
  for (int frame = 0; frame < RaceFrames && form->CurrentScreen == 1; ++frame) {
    held.fill(0);
    held[Platform::VK_UP] = 0x80;
    held[Platform::VK_SPACE] = 0x80;
    // Half a second each way.
    held[(frame / 33) % 2 ? Platform::VK_LEFT : Platform::VK_RIGHT] = 0x80;
    if (TMyCarSprite* boat = form->Race.PlayerBoat) {
      if (!boat->UpgradeGun) boat->TakeBonus(ukGun);
      if (!boat->UpgradeShield) boat->TakeBonus(ukShield);
    }
    now += 15;
    const double start = ThreadCpuSeconds(), wallStart = Now();
    const double presentBefore = Parts.Seconds[ptPresent];
    form->MDXTimerTimer(*form->MDXTimer, 1);
    run.FrameSeconds.push_back(ThreadCpuSeconds() - start);
    run.WallSeconds += Now() - wallStart;
    if (timeParts)
      run.WithoutPresent.push_back(Now() - wallStart - (Parts.Seconds[ptPresent] - presentBefore));
  }
  Parts.On = false;
  run.Level = form->Race.Level;
  run.Score = form->Race.Score;
  return run;
}

void BM_LongRace(benchmark::State& state) {
  if (!fs::exists(fs::path(SPRAYRUSH_GAME_DIR) / "Data" / "Res" / "Res3.dxg")) {
    state.SkipWithError("the game data is not built");
    return;
  }
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  Platform::TSystemLifetime system;
  for (auto _ : state) {
    // Frame times from a run without the part clocks, shares from the same race again.
    TRaceRun plain = PlayRace(false);
    TRaceRun timed = PlayRace(true);
    std::vector<double>& t = plain.FrameSeconds;
    double total = 0;
    for (double s : t) total += s;
    std::vector<double> sorted = t;
    std::sort(sorted.begin(), sorted.end());
    const auto worst = std::max_element(t.begin(), t.end());
    state.counters["frames"] = double(t.size());
    state.counters["levels"] = plain.Level;
    state.counters["score"] = plain.Score;
    state.counters["mean_ms"] = 1000 * total / double(t.size());
    state.counters["p99_ms"] = 1000 * sorted[size_t(0.99 * double(sorted.size()))];
    state.counters["worst_ms"] = 1000 * *worst;
    state.counters["worst_frame"] = double(worst - t.begin() + 1);
    // Logic and drawing alone, without handing the picture to the window.
    state.counters["worst_without_present_ms"] =
        1000 * *std::max_element(timed.WithoutPresent.begin(), timed.WithoutPresent.end());
    const double timedTotal = timed.WallSeconds;
    double parts = 0;
    for (double seconds : Parts.Seconds) parts += seconds;
    state.counters["logic_pct"] = 100 * (timedTotal - parts) / timedTotal;
    state.counters["collision_pct"] = 100 * Parts.Seconds[ptCollision] / timedTotal;
    state.counters["drawing_pct"] = 100 * Parts.Seconds[ptDrawing] / timedTotal;
    state.counters["text_pct"] = 100 * Parts.Seconds[ptText] / timedTotal;
    state.counters["present_pct"] = 100 * Parts.Seconds[ptPresent] / timedTotal;
    state.counters["mean_without_present_ms"] =
        state.counters["mean_ms"] * (1 - Parts.Seconds[ptPresent] / timedTotal);
    state.SetIterationTime(total);
  }
}

}  // namespace

BENCHMARK(BM_LongRace)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
