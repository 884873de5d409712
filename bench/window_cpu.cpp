// Whole programs in a real window, side by side in one run: CPU per second of one core
// (the program's own and the X server's, which does the drawing a present hands it) and
// peak memory. The bare SDL program presenting every 15 ms is the floor any SDL game of
// this size pays (measured first and last, its mean the floor); the bare music player
// (SDL's sound output and the module player alone) is the floor of the menu tune. Beside
// them: the game's window and frame timer with a still picture, and the game as built,
// its menu at rest (music on and off) and a race driven from outside as a player would
// (xdotool: clicks, the throttle held, steering back and forth), music on and off.
// Needs an X display: tools/bench-window.sh starts Xvfb and runs this.
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
#include "bench/Processes.h"
// Last: Xlib's macros would clash with the game's names.
#include "bench/XReadBack.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Start-up (loading, the first exposures) stays out of the figures; programs under Wine
// need longer (SPRAYRUSH_BENCH_WARMUP, seconds).
double WarmUpS() {
  const char* s = std::getenv("SPRAYRUSH_BENCH_WARMUP");
  return s && std::atof(s) > 0 ? std::atof(s) : 1.5;
}
constexpr double MeasureS = 8.0;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time of a process's threads so far, in seconds, to the nanosecond (the scheduler's
// own count; clock ticks would be too coarse for the fraction of a percent the music
// takes); -1 when it is gone.
double CpuSeconds(pid_t pid) {
  if (pid <= 0) return -1;
  std::error_code ec;
  double sum = 0;
  bool any = false;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream in(task.path() / "schedstat");
    unsigned long long ns = 0;
    if (in >> ns) {
      sum += double(ns) / 1e9;
      any = true;
    }
  }
  return any ? sum : -1;
}

// A value of /proc/<pid>/status in kB ("VmHWM" is the peak resident memory); -1 if absent.
long long StatusKb(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, key.size() + 1, key + ":") == 0) return std::atoll(line.c_str() + key.size() + 1);
  return -1;
}

// CPU seconds of each process of a tree; empty when its root is gone.
std::map<pid_t, double> TreeCpuSeconds(pid_t root) {
  std::map<pid_t, double> cpu;
  if (CpuSeconds(root) < 0) return cpu;
  for (pid_t pid : processes::Tree(root))
    if (const double s = CpuSeconds(pid); s >= 0) cpu[pid] = s;
  return cpu;
}

// What a tree took between two looks: a process that came meanwhile counts whole.
double CpuBetween(const std::map<pid_t, double>& before, const std::map<pid_t, double>& after) {
  double sum = 0;
  for (const auto& [pid, s] : after) sum += s - (before.count(pid) ? before.at(pid) : 0.0);
  return sum;
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
  TChild(const std::vector<std::string>& argv, const fs::path& dir,
         const std::vector<std::pair<std::string, std::string>>& env = {}) {
    int out[2];
    if (::pipe(out) != 0) return;
    Started = Clock::now();
    Pid = ::fork();
    if (Pid == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
      for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
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
    if (Pid > 0) processes::StopTree(Pid);
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

  // Stops the program (processes::StopTree). Returns what it printed.
  std::string Stop(int& status, double& lifetimeS) {
    status = -1;
    lifetimeS = Seconds(Clock::now() - Started);
    if (Pid <= 0) return {};
    const int raw = processes::StopTree(Pid);
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
                    const fs::path& dir = {}, TPlayer* player = nullptr,
                    const std::vector<std::pair<std::string, std::string>>& env = {}) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  const pid_t server = XServerPid();
  for (auto _ : state) {
    TChild child(argv, dir, env);
    std::this_thread::sleep_for(std::chrono::duration<double>(WarmUpS()));
    if (!child.Running()) return state.SkipWithError((argv[0] + " ended during start-up").c_str());
    std::string error;
    if (player && !player->Prepare(error)) return state.SkipWithError(error.c_str());
    std::atomic<bool> stop = false;
    std::thread acting;
    if (player) acting = std::thread([&] { player->Act(stop); });
    const auto t0 = Clock::now();
    const std::map<pid_t, double> c0 = TreeCpuSeconds(child.Pid);
    const double x0 = CpuSeconds(server);
    std::this_thread::sleep_for(std::chrono::duration<double>(MeasureS));
    const double wall = Seconds(Clock::now() - t0);
    const std::map<pid_t, double> c1 = TreeCpuSeconds(child.Pid);
    const double x1 = CpuSeconds(server);
    long long peakKb = 0;
    for (pid_t pid : processes::Tree(child.Pid)) peakKb += std::max(0LL, StatusKb(pid, "VmHWM"));
    stop = true;
    if (acting.joinable()) acting.join();
    if (player && !player->Finish(error)) return state.SkipWithError(error.c_str());
    int status = 0;
    double lifetime = 0;
    const std::string output = child.Stop(status, lifetime);
    if (c0.empty() || c1.empty()) return state.SkipWithError((argv[0] + " ended while measured").c_str());
    state.SetIterationTime(wall);
    state.counters["cpu_percent"] = 100.0 * CpuBetween(c0, c1) / wall;
    if (x0 >= 0 && x1 >= 0) state.counters["xserver_cpu_percent"] = 100.0 * (x1 - x0) / wall;
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

// A program of another build to measure instead (the Windows build under Wine): the
// variable's value, else the given one.
std::string ProgramOr(const char* variable, const std::string& otherwise) {
  const char* other = std::getenv(variable);
  return other && *other ? fs::absolute(other).string() : otherwise;
}

void BM_BareSdlPresentEvery15ms(benchmark::State& state) {
  MeasureProgram(state, {ProgramOr("SPRAYRUSH_BENCH_FLOOR", SPRAYRUSH_BARE_SDL)});
}

void BM_BareMusicPlayer(benchmark::State& state) {
  const fs::path tune = fs::path(SPRAYRUSH_GAME_DIR) / "Data/Music/Menu.xm";
  if (!fs::exists(tune)) return state.SkipWithError("the menu tune is not built");
  MeasureProgram(state, {ProgramOr("SPRAYRUSH_BENCH_MUSIC", SPRAYRUSH_BARE_MUSIC), tune.string()});
}

void BM_GameWindowStillPicture(benchmark::State& state) {
  MeasureProgram(state, {SelfPath(), "--still-picture"});
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

// Watches the game from outside and waits for its menu to come to rest; then leaves it
// alone while it is measured.
class TMenuPlayer : public TPlayer {
 public:
  ~TMenuPlayer() override {
    if (Display_) XCloseDisplay(Display_);
  }

  bool Prepare(std::string& error) override {
    Display_ = xreadback::Open();
    if (!Display_) return error = "the X display cannot be opened", false;
    // Under Wine on a busy machine a start takes tens of seconds.
    for (int i = 0; i < 1200 && !Window_; ++i) {
      Window_ = xreadback::FindWindow(Display_, "Sprayrush");
      if (!Window_) Sleep(0.05);
    }
    if (!Window_) return error = "the game's window did not appear", false;
    Id = std::to_string(Window_);
    if (!WaitStill(20)) return error = "the menu never came to rest", false;
    return true;
  }
  void Act(const std::atomic<bool>&) override {}
  bool Finish(std::string&) override { return true; }

 protected:
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

  Display* Display_ = nullptr;
  Window Window_ = 0;
  std::string Id;
  std::vector<uint32_t> Shown;
};

// Plays the game from outside: waits for the menu to come to rest, clicks the start button
// and the first boat, then holds the throttle and steers half a second each way.
class TRacePlayer : public TMenuPlayer {
 public:
  ~TRacePlayer() override { Release(); }

  bool Prepare(std::string& error) override {
    if (!TMenuPlayer::Prepare(error)) return false;
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

  std::vector<uint32_t> Before;
  std::vector<std::string> Held;
};

// The game as built in a run folder of its own, so its saves stay out of the build, laid
// out as the game's own folder (data and fonts). SPRAYRUSH_BENCH_GAME names another
// build's program to measure instead (an older one, or the Windows build under Wine);
// the data stays this build's. Without music, the options say so (the Wine script is
// told by SPRAYRUSH_BENCH_MUSIC_OFF).
void MeasureGame(benchmark::State& state, TPlayer& player, bool music) {
  const fs::path game = SPRAYRUSH_GAME_DIR;
  const std::string program = ProgramOr("SPRAYRUSH_BENCH_GAME", (game / "sprayrush").string());
  if (!fs::exists(program) || !fs::exists(game / "Data/Res/Res1.dxg"))
    return state.SkipWithError("the game or its data is not built");
  if (program != (game / "sprayrush").string()) state.SetLabel(program);
  const fs::path dir = fs::temp_directory_path() / ("sprayrush-bench-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir / "Data/Save");
  for (const char* sub : {"Data/Res", "Data/Music", "Fonts"})
    if (fs::exists(game / sub)) fs::create_directory_symlink(game / sub, dir / sub, ec);
  // Windowed, no music, sound on, the free text untouched; no table signature, so the
  // table starts afresh as on a first run.
  if (!music) std::ofstream(dir / "Data/Save/options", std::ios::binary) << "0\r\n0\r\n1\r\n_______\r\n\r\n";
  MeasureProgram(state, {program}, dir, &player, {{"SPRAYRUSH_BENCH_MUSIC_OFF", music ? "" : "1"}});
  fs::remove_all(dir, ec);
}

void BM_GameMenuAtRest(benchmark::State& state) {
  TMenuPlayer player;
  MeasureGame(state, player, true);
}

void BM_GameMenuAtRestMusicOff(benchmark::State& state) {
  TMenuPlayer player;
  MeasureGame(state, player, false);
}

void BM_GameInRace(benchmark::State& state) {
  TRacePlayer player;
  MeasureGame(state, player, true);
}

void BM_GameInRaceMusicOff(benchmark::State& state) {
  TRacePlayer player;
  MeasureGame(state, player, false);
}

// The floor first and last: the mean of the two is the figures' floor, their spread a
// measure of how much the machine's load moved meanwhile.
BENCHMARK(BM_BareSdlPresentEvery15ms)->Name("BM_Floor")->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareMusicPlayer)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameWindowStillPicture)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameMenuAtRestMusicOff)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameMenuAtRest)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameInRace)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameInRaceMusicOff)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSdlPresentEvery15ms)
    ->Name("BM_FloorAgain")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
int RunStillPicture() {
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


// Program and X server together, % of one core; -1 when not measured.
double AllCpu(const std::map<std::string, double>& c) {
  if (!c.count("cpu_percent")) return -1;
  return c.at("cpu_percent") + (c.count("xserver_cpu_percent") ? std::max(0.0, c.at("xserver_cpu_percent")) : 0);
}

// Every program beside the floor, then the rows of the summary table that
// tools/bench-window.sh prints last.
void PrintSummary(const TSummaryReporter& reporter) {
  const auto& f = reporter.Figures;
  auto figures = [&](const char* name) {
    const auto it = f.find(std::string("BM_") + name);
    return it == f.end() ? std::map<std::string, double>{} : it->second;
  };
  // The floor: the mean of its two runs (or the one that ran).
  double floorCpu = 0, floorMb = 0;
  std::vector<double> floors;
  for (const char* name : {"Floor", "FloorAgain"})
    if (const auto c = figures(name); AllCpu(c) >= 0) {
      floors.push_back(AllCpu(c));
      floorCpu += AllCpu(c);
      floorMb = std::max(floorMb, c.at("peak_mb"));
    }
  if (floors.empty()) return;
  floorCpu /= double(floors.size());
  std::printf("\n%-28s %8s %8s %8s %10s %9s\n", "CPU: % of one core", "own", "X server", "peak MB", "all/floor",
              "MB above");
  for (const std::string& name : reporter.Order) {
    const auto& c = f.at(name);
    auto get = [&](const char* key) { return c.count(key) ? c.at(key) : -1.0; };
    std::printf("%-28s %7.1f%% %7.1f%% %8.1f %10.2f %+9.1f\n", name.c_str() + 3, get("cpu_percent"),
                get("xserver_cpu_percent"), get("peak_mb"), AllCpu(c) / floorCpu, get("peak_mb") - floorMb);
  }
  std::printf("The floor: %.1f %% of a core (program and X server)", floorCpu);
  if (floors.size() == 2) std::printf(", %.1f first and %.1f last", floors[0], floors[1]);
  std::printf("; peak memory %.1f MB.\n\n", floorMb);

  auto row = [&](const char* figure, double value, const char* floorText, double ratio, const char* goal) {
    std::printf("| %s | %.2f %% | %s | %.2f | %s |\n", figure, value, floorText, ratio, goal);
  };
  char floorText[64];
  std::snprintf(floorText, sizeof floorText, "%.1f %%", floorCpu);
  const auto still = figures("GameWindowStillPicture"), menuOff = figures("GameMenuAtRestMusicOff"),
             menuOn = figures("GameMenuAtRest"), bare = figures("BareMusicPlayer"), race = figures("GameInRace"),
             raceOff = figures("GameInRaceMusicOff");
  auto beside = [&](const char* figure, const std::map<std::string, double>& c, const char* goal) {
    if (AllCpu(c) >= 0) row(figure, AllCpu(c), floorText, AllCpu(c) / floorCpu, goal);
  };
  beside("CPU, menu at rest, music off", menuOff, "at most 0.1");
  beside("CPU, a still picture in the game's window", still, "");
  if (AllCpu(menuOn) >= 0 && AllCpu(menuOff) >= 0 && AllCpu(bare) >= 0) {
    char bareText[64];
    std::snprintf(bareText, sizeof bareText, "bare player %.2f %%", AllCpu(bare));
    const double music = AllCpu(menuOn) - AllCpu(menuOff);
    row("CPU, the menu tune's own (menu with music less without)", music, bareText, music / AllCpu(bare),
        "at most 1.0");
  }
  beside("CPU, race", race, "at most 1.0");
  beside("CPU, race, music off", raceOff, "");
  for (const auto& [name, what] :
       {std::pair{"GameMenuAtRest", "Peak memory, menu"}, std::pair{"GameInRace", "Peak memory, race"}})
    if (const auto c = figures(name); c.count("peak_mb"))
      std::printf("| %s | %.1f MB | %.1f MB | %+.1f MB | at most +25 MB |\n", what, c.at("peak_mb"), floorMb,
                  c.at("peak_mb") - floorMb);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--still-picture") return RunStillPicture();
  }
  // Real windows for every program; no sound device needed, the mixing still runs.
  ::unsetenv("SDL_VIDEODRIVER");
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  TSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
