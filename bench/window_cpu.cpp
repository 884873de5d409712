// Whole programs in a real window, side by side in one run: CPU per second of one core
// (the program's own and the X server's, which does the drawing a present hands it) and
// peak memory. The bare SDL program is the floor any SDL game of this size pays; the game
// window presents a still picture every 15 ms, sent every frame (as it used to be) and
// only when it changed; the game itself runs as built, left in its menu and driven into a
// race from outside as a player would (xdotool: clicks, the throttle held, steering back
// and forth). Needs an X display: tools/bench-window.sh starts Xvfb and runs this.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MForm.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/System.h"
// Last: Xlib's macros would clash with the game's names.
#include "bench/XReadBack.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Start-up (loading, the first exposures) stays out of the figures.
constexpr double WarmUpS = 1.5;
constexpr double MeasureS = 5.0;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// utime + stime of a process in clock ticks; -1 when it is gone.
long long CpuTicks(pid_t pid) {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return -1;
  // The name in parentheses may hold spaces; the fields after it start with field 3.
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  long long utime = -1, stime = -1;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::atoll(field.c_str());
    if (i == 15) stime = std::atoll(field.c_str());
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}

// A value of /proc/<pid>/status in kB ("VmHWM" is the peak resident memory); -1 if absent.
long long StatusKb(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size() + 1, key + ":") == 0) return std::atoll(line.c_str() + key.size() + 1);
  return -1;
}

// The X server of $DISPLAY: as the starting script tells, or from its lock file; 0 when
// it cannot be told.
pid_t XServerPid() {
  if (const char* pid = std::getenv("SPRAYRUSH_XSERVER_PID"); pid && std::atoi(pid) > 0)
    return pid_t(std::atoi(pid));
  const char* display = std::getenv("DISPLAY");
  const char* colon = display ? std::strchr(display, ':') : nullptr;
  if (!colon) return 0;
  std::ifstream lock("/tmp/.X" + std::to_string(std::atoi(colon + 1)) + "-lock");
  long pid = 0;
  lock >> pid;
  return pid_t(pid);
}

// A program started with its standard output on a pipe, ended on SIGTERM as a person's
// session end would.
class TChild {
 public:
  TChild(const std::vector<std::string>& argv, const fs::path& dir) {
    int out[2];
    if (::pipe(out) != 0) return;
    Started = Clock::now();
    Pid = ::fork();
    if (Pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    Out = out[0];
  }
  ~TChild() {
    if (Pid > 0) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, nullptr, 0);
    }
    if (Out >= 0) ::close(Out);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  pid_t Pid = -1;
  Clock::time_point Started;

  bool Running() {
    if (Pid <= 0) return false;
    if (::waitpid(Pid, nullptr, WNOHANG) == 0) return true;
    Pid = -1;  // collected: its number may go to another process, which must not be killed
    return false;
  }

  // SIGTERM, then up to 5 s to end before SIGKILL. Returns what it printed.
  std::string Stop(int& status, double& lifetimeS) {
    status = -1;
    lifetimeS = Seconds(Clock::now() - Started);
    if (Pid <= 0) return {};
    ::kill(Pid, SIGTERM);
    int raw = 0;
    for (int i = 0; i < 500 && ::waitpid(Pid, &raw, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(Pid, &raw, WNOHANG) == 0) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, &raw, 0);
    }
    Pid = -1;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    std::string output;
    char buffer[512];
    for (ssize_t n; (n = ::read(Out, buffer, sizeof buffer)) > 0;) output.append(buffer, size_t(n));
    return output;
  }

 private:
  int Out = -1;
};

// "<word> <number>" in a child's report; -1 when it did not say.
double Reported(const std::string& output, const std::string& word) {
  const size_t at = output.find(word + " ");
  return at == std::string::npos ? -1 : std::atof(output.c_str() + at + word.size() + 1);
}

// What a player does to a program while it is measured: Prepare runs after the warm-up
// (false with an error stops the run), Act during the measurement until told to stop,
// Finish after it (false with an error: the figures are not what they claim).
class TPlayer {
 public:
  virtual ~TPlayer() = default;
  virtual bool Prepare(std::string& error) = 0;
  virtual void Act(const std::atomic<bool>& stop) = 0;
  virtual bool Finish(std::string& error) = 0;
};

// Runs one program through warm-up and measurement and reports its figures as counters.
void MeasureProgram(benchmark::State& state, const std::vector<std::string>& argv,
                    const fs::path& dir = {}, TPlayer* player = nullptr) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  const double ticks = double(::sysconf(_SC_CLK_TCK));
  const pid_t server = XServerPid();
  for (auto _ : state) {
    TChild child(argv, dir);
    std::this_thread::sleep_for(std::chrono::duration<double>(WarmUpS));
    if (!child.Running()) return state.SkipWithError((argv[0] + " ended during start-up").c_str());
    std::string error;
    if (player && !player->Prepare(error)) return state.SkipWithError(error.c_str());
    std::atomic<bool> stop = false;
    std::thread acting;
    if (player) acting = std::thread([&] { player->Act(stop); });
    const auto t0 = Clock::now();
    const long long c0 = CpuTicks(child.Pid), x0 = CpuTicks(server);
    std::this_thread::sleep_for(std::chrono::duration<double>(MeasureS));
    const double wall = Seconds(Clock::now() - t0);
    const long long c1 = CpuTicks(child.Pid), x1 = CpuTicks(server);
    const long long peakKb = StatusKb(child.Pid, "VmHWM");
    stop = true;
    if (acting.joinable()) acting.join();
    if (player && !player->Finish(error)) return state.SkipWithError(error.c_str());
    int status = 0;
    double lifetime = 0;
    const std::string output = child.Stop(status, lifetime);
    if (c0 < 0 || c1 < 0) return state.SkipWithError((argv[0] + " ended while measured").c_str());
    state.SetIterationTime(wall);
    state.counters["cpu_percent"] = 100.0 * double(c1 - c0) / ticks / wall;
    if (x0 >= 0 && x1 >= 0) state.counters["xserver_cpu_percent"] = 100.0 * double(x1 - x0) / ticks / wall;
    state.counters["peak_mb"] = double(peakKb) / 1024.0;
    state.counters["exit_status"] = status;
    if (const double frames = Reported(output, "frames"); frames >= 0)
      state.counters["frames_per_s"] = frames / lifetime;
    if (const double presents = Reported(output, "presents"); presents >= 0)
      state.counters["presents_per_s"] = presents / lifetime;
    const size_t renderer = output.find("renderer ");
    if (renderer != std::string::npos)
      state.SetLabel(output.substr(renderer, output.find('\n', renderer) - renderer));
  }
}

std::string SelfPath() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).string();
}

void BM_BareSdlPresentEvery15ms(benchmark::State& state) {
  MeasureProgram(state, {SPRAYRUSH_BARE_SDL});
}

void BM_GameWindowStillPresentAlways(benchmark::State& state) {
  MeasureProgram(state, {SelfPath(), "--still-picture=always"});
}

void BM_GameWindowStillPresentWhenChanged(benchmark::State& state) {
  MeasureProgram(state, {SelfPath(), "--still-picture=changed"});
}

// xdotool with these arguments; true when it did them.
bool XDo(const std::vector<std::string>& argv) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> args = {const_cast<char*>("xdotool")};
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Plays the game from outside: waits for the menu to come to rest, clicks the start button
// and the first boat, then holds the throttle and steers half a second each way.
class TRacePlayer : public TPlayer {
 public:
  ~TRacePlayer() override {
    Release();
    if (Display_) XCloseDisplay(Display_);
  }

  bool Prepare(std::string& error) override {
    Display_ = xreadback::Open();
    if (!Display_) return error = "the X display cannot be opened", false;
    for (int i = 0; i < 200 && !Window_; ++i) {
      Window_ = xreadback::FindWindow(Display_, "Sprayrush");
      if (!Window_) Sleep(0.05);
    }
    if (!Window_) return error = "the game's window did not appear", false;
    Id = std::to_string(Window_);
    if (!WaitStill(20)) return error = "the menu never came to rest", false;
    XDo({"windowfocus", "--sync", Id});
    Click(650, 134);  // start
    if (!WaitStill(5)) return error = "the boat screen never came to rest", false;
    std::vector<uint32_t> boats = Shown;
    Click(100, 260);  // the first boat
    if (!WaitChange(boats, 5)) return error = "the race did not start", false;
    XDo({"keydown", "Up"});
    Held.push_back("Up");
    Sleep(1.0);  // under way, the level banner gone
    Read(Before);
    return true;
  }

  void Act(const std::atomic<bool>& stop) override {
    for (bool left = true; !stop; left = !left) {
      const std::string key = left ? "Left" : "Right";
      XDo({"keydown", key});
      Held.push_back(key);
      for (int i = 0; i < 10 && !stop; ++i) Sleep(0.05);
      XDo({"keyup", key});
      Held.pop_back();
    }
  }

  bool Finish(std::string& error) override {
    std::vector<uint32_t> after;
    Read(after);
    Release();
    // SPRAYRUSH_BENCH_SHOT=<file.ppm> keeps the last look, to see what was measured.
    if (const char* shot = std::getenv("SPRAYRUSH_BENCH_SHOT"); shot && *shot && !after.empty()) {
      std::ofstream out(shot, std::ios::binary);
      out << "P6\n800 600\n255\n";
      for (uint32_t p : after) out.put(char(p >> 16)).put(char(p >> 8)).put(char(p));
    }
    // A frozen picture would mean the measured seconds were not a race.
    if (after.empty() || after == Before) return error = "the race did not move", false;
    return true;
  }

 private:
  static void Sleep(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

  bool Read(std::vector<uint32_t>& rgb) {
    if (!xreadback::Read(Display_, Window_, 800, 600, rgb)) rgb.clear();
    return !rgb.empty();
  }

  // Two looks 0.3 s apart agree; the last look stays in Shown.
  bool WaitStill(double timeoutS) {
    const auto end = Clock::now() + std::chrono::duration<double>(timeoutS);
    std::vector<uint32_t> before;
    Read(before);
    while (Clock::now() < end) {
      Sleep(0.3);
      Read(Shown);
      if (!Shown.empty() && Shown == before) return true;
      before = Shown;
    }
    return false;
  }

  bool WaitChange(const std::vector<uint32_t>& from, double timeoutS) {
    const auto end = Clock::now() + std::chrono::duration<double>(timeoutS);
    while (Clock::now() < end) {
      if (Read(Shown) && Shown != from) return true;
      Sleep(0.05);
    }
    return false;
  }

  // Windowed, the surface's pixels are the window's.
  void Click(int x, int y) {
    XDo({"mousemove", "--window", Id, "--sync", std::to_string(x), std::to_string(y)});
    Sleep(0.1);  // the game sees the pointer over the button first, as under a hand
    XDo({"click", "1"});
  }

  void Release() {
    for (const std::string& key : Held) XDo({"keyup", key});
    Held.clear();
  }

  Display* Display_ = nullptr;
  Window Window_ = 0;
  std::string Id;
  std::vector<uint32_t> Shown, Before;
  std::vector<std::string> Held;
};

// The game as built in a run folder of its own, so its saves stay out of the build.
// SPRAYRUSH_BENCH_GAME names another build's program to measure instead (an older one,
// to compare); the data stays this build's.
void MeasureGame(benchmark::State& state, TPlayer* player) {
  const fs::path game = SPRAYRUSH_GAME_DIR;
  const char* other = std::getenv("SPRAYRUSH_BENCH_GAME");
  const fs::path program = other && *other ? fs::absolute(other) : game / "sprayrush";
  if (!fs::exists(program) || !fs::exists(game / "Data/Res/Res1.dxg"))
    return state.SkipWithError("the game or its data is not built");
  if (other && *other) state.SetLabel(program.string());
  const fs::path dir = fs::temp_directory_path() / ("sprayrush-bench-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir / "Data/Save");
  for (const char* sub : {"Res", "Music"})
    if (fs::exists(game / "Data" / sub)) fs::create_directory_symlink(game / "Data" / sub, dir / "Data" / sub, ec);
  MeasureProgram(state, {program.string()}, dir, player);
  fs::remove_all(dir, ec);
}

// Left alone after its start: the menu at rest.
void BM_GameAsBuilt(benchmark::State& state) { MeasureGame(state, nullptr); }

void BM_GameInRace(benchmark::State& state) {
  TRacePlayer player;
  MeasureGame(state, &player);
}

BENCHMARK(BM_BareSdlPresentEvery15ms)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameWindowStillPresentAlways)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameWindowStillPresentWhenChanged)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameAsBuilt)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameInRace)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The menu at rest, as near as the media layer alone can draw it: background, top panel,
// the buttons. Without the built data, colour bands.
void DrawStillPicture(TDirectDrawSurface& surface, const TPictureCollection* pictures) {
  surface.Fill(0);
  if (!pictures) {
    for (int y = 0; y < surface.Height(); ++y)
      for (int x = 0; x < surface.Width(); ++x) surface.Pixels()[y * surface.Pitch() + x] = uint16_t((x + y) * 37);
    return;
  }
  auto draw = [&](const char* name, int x, int y, int pattern) {
    if (const TPictureCollectionItem* item = pictures->FindOrNull(name)) item->Draw(surface, x, y, pattern);
  };
  draw("MMBackground", 0, 0, 0);
  draw("UpPanel", 0, 0, 0);
  for (int i = 0; i < 5; ++i) draw("MMB_Inactive", 556, 140 + 62 * i, i);
  draw("MM_ExitInactive", 556, 450, 0);
  draw("DownPanel", 0, 490, 0);
}

// The game's window and frame timer with a frame that draws the same picture every time.
int RunStillPicture(bool presentAlways) {
  Platform::TSystemLifetime system;
  TApplication application;
  application.Title = "Sprayrush";
  auto form = std::make_unique<TMForm>(application);
  const fs::path data = fs::path(SPRAYRUSH_GAME_DIR) / "Data/Res/Res1.dxg";
  const TPictureCollection* pictures = nullptr;
  if (fs::exists(data)) {
    std::error_code ec;
    const fs::path old = fs::current_path();
    fs::current_path(SPRAYRUSH_GAME_DIR, ec);
    form->MDXImageList->LoadFromFile("Data\\Res\\Res1.dxg");
    fs::current_path(old, ec);
    pictures = &form->MDXImageList->Items;
  }
  long long frames = 0;
  TMForm& f = *form;
  form->MDXTimer->OnTimer = [&](TDXTimer&, int32_t) {
    ++frames;
    f.MDXInput->Update();
    if (!f.MDXDraw->CanDraw()) return;
    DrawStillPicture(f.MDXDraw->Surface(), pictures);
    if (presentAlways) f.Window->Invalidate();
    f.MDXDraw->Flip();
  };
  application.Run();
  std::printf("frames %lld presents %llu\n", frames, static_cast<unsigned long long>(f.Window->PresentCount()));
  return 0;
}

// Collects the counters to print the comparison with the floor at the end.
class TSummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::map<std::string, double>> Figures;
  std::vector<std::string> Order;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
      const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find('/'));
      if (!Figures.count(name)) Order.push_back(name);
      for (const auto& [key, counter] : r.counters) Figures[name][key] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--still-picture=always") return RunStillPicture(true);
    if (arg == "--still-picture=changed") return RunStillPicture(false);
  }
  // Real windows for every program; no sound device needed, the mixing still runs.
  ::unsetenv("SDL_VIDEODRIVER");
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  TSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto& f = reporter.Figures;
  if (!f.empty()) {
    const std::string floor = "BM_BareSdlPresentEvery15ms";
    const double floorCpu = f.count(floor) ? f.at(floor).at("cpu_percent") : 0;
    const double floorAll = floorCpu + (f.count(floor) && f.at(floor).count("xserver_cpu_percent")
                                            ? f.at(floor).at("xserver_cpu_percent")
                                            : 0);
    const double floorMb = f.count(floor) ? f.at(floor).at("peak_mb") : 0;
    std::printf("\n%-36s %9s %9s %9s %9s %9s %9s\n", "CPU: % of one core", "own", "X server", "peak MB",
                "own/floor", "all/floor", "MB above");
    for (const std::string& name : reporter.Order) {
      const auto& c = f.at(name);
      auto get = [&](const char* key) { return c.count(key) ? c.at(key) : -1.0; };
      std::printf("%-36s %8.1f%% %8.1f%% %9.1f", name.c_str() + 3, get("cpu_percent"),
                  get("xserver_cpu_percent"), get("peak_mb"));
      if (floorCpu > 0 && floorAll > 0)
        std::printf(" %9.2f %9.2f", get("cpu_percent") / floorCpu,
                    (get("cpu_percent") + std::max(0.0, get("xserver_cpu_percent"))) / floorAll);
      if (floorMb > 0) std::printf(" %+9.1f", get("peak_mb") - floorMb);
      std::printf("\n");
    }
  }
  benchmark::Shutdown();
  return 0;
}
