// CPU the running program takes per second of wall time while the frame loop keeps its
// 15 ms rhythm. A loop that spun between ticks would take a whole core (100 %).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/MForm.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXInput/DXInput.h"

namespace {

constexpr int RunMs = 3000;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the application's loop for RunMs and reports CPU share and frame rate.
void Measure(benchmark::State& state, TApplication& application, TDXTimer& frameTimer) {
  int frames = 0;
  auto frame = frameTimer.OnTimer;
  frameTimer.OnTimer = [&](TDXTimer& sender, int32_t lag) {
    ++frames;
    if (frame) frame(sender, lag);
  };
  TDXTimer stop(application);
  stop.ActiveOnly = false;
  stop.SetInterval(RunMs);
  stop.OnTimer = [&](TDXTimer&, int32_t) { application.Terminate(); };
  stop.SetEnabled(false);
  stop.SetEnabled(true);

  for (auto _ : state) {
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    application.Run();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    const double cpu = CpuSeconds() - cpu0;
    state.SetIterationTime(wall);
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["frames_per_s"] = frames / wall;
    state.counters["timer_frame_rate"] = frameTimer.FrameRate();
  }
}

// The bare loop: the timer, the event wait and one input update per frame.
void BM_FrameLoopIdle(benchmark::State& state) {
  TApplication application;
  TDXInput input(&application);
  TDXTimer timer(application);
  timer.SetInterval(15);
  timer.OnTimer = [&](TDXTimer&, int32_t) { input.Update(); };
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  Measure(state, application, timer);
}

// The main window as the game runs it, after its start-up (when the data is built), with
// each frame also clearing and presenting the 800 x 600 picture.
void BM_FrameLoopGameWindow(benchmark::State& state) {
  TApplication application;
  auto form = std::make_unique<TMForm>(application);
  const std::filesystem::path old = std::filesystem::current_path();
  std::error_code ec;
  std::filesystem::current_path(SPRAYRUSH_GAME_DIR, ec);
  try {
    form->FormCreate();
  } catch (const std::exception& error) {
    state.SetLabel(std::string("without data: ") + error.what());
  }
  std::filesystem::current_path(old, ec);
  auto frame = form->MDXTimer->OnTimer;
  TMForm& f = *form;
  form->MDXTimer->OnTimer = [&f, frame](TDXTimer& sender, int32_t lag) {
    frame(sender, lag);
    if (f.MDXDraw->CanDraw()) {
      f.MDXDraw->Surface().Fill(0);
      f.MDXDraw->Flip();
    }
  };
  Measure(state, application, *form->MDXTimer);
}

}  // namespace

BENCHMARK(BM_FrameLoopIdle)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameLoopGameWindow)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
