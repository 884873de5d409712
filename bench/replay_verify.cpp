// Replays: how large a ten-minute game's file is, and what checking one costs.
//
// A ten-minute race (40000 frames) is recorded in-process the way the game records, with
// nothing drawn: the long race's hands (throttle and fire held, steering half a second each
// way) with a brake tap or the throttle let go at random moments, as a player's hands change
// more often than a pattern. The race keeps the gun and the shield topped up between frames
// (so it lasts and the gun's ray is cast every frame); the re-play tops them up at the same
// points, so it comes to the recorded end. Reported:
//   - the file's size, and its size with the steering pattern alone;
//   - the CPU of re-playing the 40000 frames as the check does (nothing drawn), of the
//     game's start-up before them, and of re-playing them drawn as the window shows them
//     (which must come to the same end: drawing changes nothing the end depends on);
//   - the whole check as the score server would run it, `sprayrush-run --verify FILE` in a
//     process of its own, on a kept scenario (start-up, reading, re-playing, the verdict).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "game/menus/Screens.h"
#include "game/race/MyCarSprite.h"
#include "game/replay/Playback.h"
#include "game/replay/Recorder.h"
#include "game/replay/ReplayFile.h"
#include "media/Platform/Keyboard.h"
#include "media/Platform/System.h"
#include "tests/app/GameRig.h"

namespace fs = std::filesystem;

namespace {

constexpr int RaceFrames = 40000;  // ten minutes at 15 ms a frame

double CpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Between frames, as the recording did it: the race keeps its gun and shield.
void TopUp(TMForm& form) {
  TMyCarSprite* boat = form.Race.PlayerBoat;
  if (!boat) return;
  if (!boat->UpgradeGun) boat->TakeBonus(ukGun);
  if (!boat->UpgradeShield) boat->TakeBonus(ukShield);
}

struct TRecorded {
  std::vector<uint8_t> Bytes;
  int Level = 0, Score = 0;
};

TRecorded Record(bool taps) {
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.Options.MusicOn = false;
  form.Replay.Mode = TRecordMode::Script;
  // Recorded without pictures, re-played with and without: a check that drawing changes
  // nothing the game's end depends on.
  form.SkipPictures = true;
  rig.Start();
  ShowBoatScreen(form);
  form.RandomGen.RandSeed = 12345;
  form.HotButton = 7;
  form.MDXDrawClick();
  uint32_t hands = 99;
  int tapLeft = 0;
  bool brake = false;
  for (int frame = 0; frame < RaceFrames; ++frame) {
    TopUp(form);
    rig.Hold({Platform::VK_UP, Platform::VK_SPACE,
              (frame / 33) % 2 ? Platform::VK_LEFT : Platform::VK_RIGHT});
    if (taps) {
      // Now and then a few frames of brake, or of the throttle let go.
      hands = hands * 1103515245u + 12345u;
      if (tapLeft == 0 && (hands >> 16) % 40 == 0) {
        brake = (hands >> 8) % 2;
        tapLeft = 3 + int((hands >> 4) % 10);
      }
      if (tapLeft > 0) {
        --tapLeft;
        if (brake)
          rig.Held[Platform::VK_DOWN] = 0x80;
        else
          rig.Held[Platform::VK_UP] = 0;
      }
    }
    rig.Now += 15;
    form.MDXTimerTimer(*form.MDXTimer, 1);
  }
  TRecorded r;
  r.Level = form.Race.Level;
  r.Score = form.Race.Score;
  r.Bytes = FinishRecording(form);
  return r;
}

struct TReplayRun {
  double StartSeconds = 0;   // the game's start-up and the recorded start
  double FrameSeconds = 0;   // the recorded frames
  bool Reproduced = false;
};

TReplayRun Replay(const std::vector<uint8_t>& bytes, TPlaybackView view) {
  TReplayRun run;
  const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  TGameRig rig;
  TMForm& form = *rig.Form;
  form.Options.MusicOn = false;
  const TReplay replay = DecodeReplay(bytes);
  rig.Start();
  StartPlayback(form, replay, view);
  run.StartSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start;
  const double frames = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  for (uint32_t played = 0;; ++played) {
    if (played < replay.Result.Frames) TopUp(form);
    if (!PlayRecordedFrame(form)) break;
  }
  run.FrameSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - frames;
  run.Reproduced = PlaybackOutcome(form).Reproduced;
  return run;
}

// Runs a program to its end; the CPU (user and system) and wall seconds it took.
bool RunProcess(const std::vector<std::string>& args, double& cpu, double& wall) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  timespec t0{}, t1{};
  clock_gettime(CLOCK_MONOTONIC, &t0);
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return false;
  clock_gettime(CLOCK_MONOTONIC, &t1);
  cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  wall = double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) / 1e9;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ReplayVerify(benchmark::State& state) {
  if (!TGameFolder::DataBuilt()) {
    state.SkipWithError("the game data is not built");
    return;
  }
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  Platform::TSystemLifetime system;
  for (auto _ : state) {
    const TRecorded hands = Record(false);
    const TRecorded game = Record(true);
    const TReplayRun check = Replay(game.Bytes, TPlaybackView::Headless);
    const TReplayRun drawn = Replay(game.Bytes, TPlaybackView::Window);
    state.counters["frames"] = RaceFrames;
    state.counters["levels"] = game.Level;
    state.counters["score"] = game.Score;
    state.counters["file_kb"] = double(game.Bytes.size()) / 1024;
    state.counters["file_hands_only_kb"] = double(hands.Bytes.size()) / 1024;
    state.counters["reproduced"] = check.Reproduced && drawn.Reproduced;
    state.counters["start_cpu_ms"] = 1000 * check.StartSeconds;
    state.counters["check_frames_cpu_ms"] = 1000 * check.FrameSeconds;
    state.counters["check_us_per_frame"] = 1e6 * check.FrameSeconds / RaceFrames;
    state.counters["drawn_frames_cpu_ms"] = 1000 * drawn.FrameSeconds;

    // The whole check in a process of its own, on the kept whole game (10226 frames).
    const std::string runner = SPRAYRUSH_RUNNER;
    const std::string file =
        (fs::temp_directory_path() / ("sprayrush-bench-" + std::to_string(::getpid()) + ".replay")).string();
    const std::string script =
        std::string(SPRAYRUSH_SOURCE_DIR) + "/tests/runner/whole-game-to-the-high-scores.txt";
    double cpu = 0, wall = 0, cpuSum = 0, wallSum = 0;
    constexpr int Runs = 5;
    bool ok = RunProcess({runner, "--record", file, script}, cpu, wall);
    for (int i = 0; ok && i < Runs; ++i) {
      ok = RunProcess({runner, "--verify", file}, cpu, wall);
      cpuSum += cpu;
      wallSum += wall;
    }
    std::error_code ec;
    fs::remove(file, ec);
    if (!ok) {
      state.SkipWithError("sprayrush-run --verify did not reproduce the kept game");
      return;
    }
    state.counters["process_check_cpu_ms"] = 1000 * cpuSum / Runs;
    state.counters["process_check_wall_ms"] = 1000 * wallSum / Runs;
    state.SetIterationTime(check.StartSeconds + check.FrameSeconds);
  }
}

}  // namespace

BENCHMARK(BM_ReplayVerify)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
