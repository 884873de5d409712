// Time from start to the first menu frame, in a real window. In-process: the start-up
// run as the program's entry runs it, each run in a fresh process of its own, the clock
// stopped when the first menu frame has been presented, with where the time went.
// Whole-process: the built game started (fork and exec) until its window shows the menu,
// found by reading the window's pixels back from the X server. Needs an X display:
// tools/bench-window.sh starts Xvfb and runs this.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MForm.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXClass/DXForm.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Events.h"
#include "media/Platform/System.h"
#include "media/Platform/Window.h"
#include "bench/XReadBack.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int ScreenW = 800, ScreenH = 600;
constexpr int Runs = 5;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- where the time goes (in the child) -----------------------------------------------
// Each part's time is its own: a part called inside another is taken out of the outer one;
// "other" is the rest (the menu built, the first frame drawn, saves read).
enum TPart { ptWindow, ptAudio, ptPictures, ptSounds, ptFonts, ptMusic, ptShow, ptWait,
             ptPresent, ptParts };
constexpr const char* PartNames[ptParts] = {"window", "audio", "pictures", "sounds",
                                            "fonts", "music", "show", "wait", "present"};

struct TPartClock {
  bool On = false;
  std::array<double, ptParts> Ms{};
  struct TOpen {
    TPart Part;
    Clock::time_point Start;
    double Inner = 0;
  };
  std::vector<TOpen> Open;
};
TPartClock Parts;

class TPartTimer {
 public:
  explicit TPartTimer(TPart part) : Timing(Parts.On) {
    if (Timing) Parts.Open.push_back({part, Clock::now()});
  }
  ~TPartTimer() {
    if (!Timing || Parts.Open.empty()) return;
    const TPartClock::TOpen open = Parts.Open.back();
    Parts.Open.pop_back();
    const double all = Ms(Clock::now() - open.Start);
    Parts.Ms[open.Part] += all - open.Inner;
    if (!Parts.Open.empty()) Parts.Open.back().Inner += all;
  }
  TPartTimer(const TPartTimer&) = delete;
  TPartTimer& operator=(const TPartTimer&) = delete;

 private:
  bool Timing;
};

}  // namespace

// The linker sends the start-up's calls of these functions here (see CMakeLists.txt).
extern "C" {
void __real__ZN8Platform7TWindowC1ERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEii(
    Platform::TWindow* self, const std::string& caption, int w, int h);
void __real__ZN8TDXSound6LoadedEv(TDXSound* self);
void __real__ZN12TDXImageList12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    TDXImageList* self, const std::string& path);
void __real__ZN15TWaveCollection12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    TWaveCollection* self, const std::string& path);
void __real__Z17PrepareTextStylesR6TMForm(TMForm& form);
uintptr_t __real__Z16SongLoadFromFilePKc(const char* path);
void __real__ZN7TDXForm4ShowEv(TDXForm* self);
bool __real__ZN8Platform11TEventQueue4WaitERNS_6TEventEi(Platform::TEventQueue* self,
                                                        Platform::TEvent& event, int ms);
void __real__ZN8Platform7TWindow7PresentEPKtiii(Platform::TWindow* self, const uint16_t* pixels,
                                                int pitch, int width, int height);

void __wrap__ZN8Platform7TWindowC1ERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEii(
    Platform::TWindow* self, const std::string& caption, int w, int h) {
  TPartTimer t(ptWindow);
  __real__ZN8Platform7TWindowC1ERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEii(self, caption,
                                                                                       w, h);
}
void __wrap__ZN8TDXSound6LoadedEv(TDXSound* self) {
  TPartTimer t(ptAudio);
  __real__ZN8TDXSound6LoadedEv(self);
}
void __wrap__ZN12TDXImageList12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    TDXImageList* self, const std::string& path) {
  TPartTimer t(ptPictures);
  __real__ZN12TDXImageList12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(self,
                                                                                              path);
}
void __wrap__ZN15TWaveCollection12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    TWaveCollection* self, const std::string& path) {
  TPartTimer t(ptSounds);
  __real__ZN15TWaveCollection12LoadFromFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(self,
                                                                                                 path);
}
void __wrap__Z17PrepareTextStylesR6TMForm(TMForm& form) {
  TPartTimer t(ptFonts);
  __real__Z17PrepareTextStylesR6TMForm(form);
}
uintptr_t __wrap__Z16SongLoadFromFilePKc(const char* path) {
  TPartTimer t(ptMusic);
  return __real__Z16SongLoadFromFilePKc(path);
}
void __wrap__ZN7TDXForm4ShowEv(TDXForm* self) {
  TPartTimer t(ptShow);
  __real__ZN7TDXForm4ShowEv(self);
}
bool __wrap__ZN8Platform11TEventQueue4WaitERNS_6TEventEi(Platform::TEventQueue* self,
                                                        Platform::TEvent& event, int ms) {
  TPartTimer t(ptWait);
  return __real__ZN8Platform11TEventQueue4WaitERNS_6TEventEi(self, event, ms);
}
void __wrap__ZN8Platform7TWindow7PresentEPKtiii(Platform::TWindow* self, const uint16_t* pixels,
                                                int pitch, int width, int height) {
  TPartTimer t(ptPresent);
  __real__ZN8Platform7TWindow7PresentEPKtiii(self, pixels, pitch, width, height);
}
}

namespace {

// The child: the entry's start-up up to the first menu frame on screen. Prints
// "total <ms>" and each part's milliseconds; writes that frame to framePath if given.
int RunStartUp(const char* framePath) {
  const Clock::time_point start = Clock::now();
  ::alarm(30);  // a start-up that never reaches the menu ends here, not in a hung benchmark
  Parts.On = true;
  std::vector<uint16_t> frame;
  {
    Platform::TSystemLifetime system;
    TApplication application;
    application.Title = "Sprayrush";
    auto form = std::make_unique<TMForm>(application);
    form->FormCreate();
    TMForm& f = *form;
    auto run = form->MDXTimer->OnTimer;
    form->MDXTimer->OnTimer = [&](TDXTimer& sender, int32_t lag) {
      run(sender, lag);
      if (f.CurrentScreen != 0 || f.Window->PresentCount() == 0 || application.Terminated()) return;
      const double total = Ms(Clock::now() - start);
      Parts.On = false;
      const TDirectDrawSurface& s = f.MDXDraw->Surface();
      frame.assign(s.Pixels(), s.Pixels() + size_t(s.Pitch()) * s.Height());
      std::printf("total %.3f", total);
      double parts = 0;
      for (int i = 0; i < ptParts; ++i) {
        std::printf(" %s %.3f", PartNames[i], Parts.Ms[i]);
        parts += Parts.Ms[i];
      }
      std::printf(" other %.3f\n", total - parts);
      std::fflush(stdout);
      application.Terminate();
    };
    application.Run();
  }
  if (framePath && frame.size() == size_t(ScreenW) * ScreenH) {
    std::ofstream out(framePath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(frame.data()), std::streamsize(frame.size() * 2));
  }
  return frame.empty() ? 1 : 0;
}

// ---- the parent -------------------------------------------------------------------------

// A run folder with the built data and no saves: a first start.
class TRunFolder {
 public:
  TRunFolder() {
    const fs::path game = SPRAYRUSH_GAME_DIR;
    Dir = fs::temp_directory_path() / ("sprayrush-bench-start-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(Dir, ec);
    fs::create_directories(Dir / "Data/Save");
    for (const char* sub : {"Res", "Music"})
      if (fs::exists(game / "Data" / sub))
        fs::create_directory_symlink(game / "Data" / sub, Dir / "Data" / sub, ec);
  }
  ~TRunFolder() {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  TRunFolder(const TRunFolder&) = delete;
  TRunFolder& operator=(const TRunFolder&) = delete;
  fs::path Dir;
};

bool DataBuilt() {
  const fs::path game = SPRAYRUSH_GAME_DIR;
  return fs::exists(game / "sprayrush") && fs::exists(game / "Data/Res/Res1.dxg");
}

// Starts a program in dir with its standard output on a pipe (or /dev/null).
pid_t Start(const std::vector<std::string>& argv, const fs::path& dir, int* out) {
  int pipeFds[2] = {-1, -1};
  if (out && ::pipe(pipeFds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int to = out ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
    ::dup2(to, STDOUT_FILENO);
    if (!out) ::dup2(to, STDERR_FILENO);
    if (out) ::close(pipeFds[0]);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  if (out) {
    ::close(pipeFds[1]);
    *out = pipeFds[0];
  }
  return pid;
}

// SIGTERM (a quit request to an SDL program), then SIGKILL after 5 s.
void Stop(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

std::string SelfPath() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).string();
}

struct TStartUp {
  double Total = -1;
  std::array<double, ptParts + 1> Parts{};  // the last is "other"
};

// One in-process start-up in a fresh process; the first menu frame to framePath if given.
TStartUp RunChild(const std::string& framePath = {}) {
  TRunFolder folder;
  std::vector<std::string> argv = {SelfPath(), "--start-up"};
  if (!framePath.empty()) argv.push_back(framePath);
  int out = -1;
  const pid_t pid = Start(argv, folder.Dir, &out);
  if (pid <= 0) return {};
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(out, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  ::close(out);
  int status = 0;
  ::waitpid(pid, &status, 0);
  TStartUp result;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    double value = 0;
    if (!(words >> value)) break;
    if (word == "total") result.Total = value;
    if (word == "other") result.Parts[ptParts] = value;
    for (int i = 0; i < ptParts; ++i)
      if (word == PartNames[i]) result.Parts[i] = value;
  }
  return result;
}

fs::path ReferencePath() {
  return fs::temp_directory_path() / ("sprayrush-bench-menu-" + std::to_string(::getpid()) + ".raw");
}

void BM_StartUpInProcess(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  if (!DataBuilt()) return state.SkipWithError("the game or its data is not built");
  for (auto _ : state) {
    std::vector<TStartUp> runs;
    for (int i = 0; i < Runs; ++i) {
      TStartUp run = RunChild(i == 0 ? ReferencePath().string() : std::string());
      if (run.Total < 0) return state.SkipWithError("the start-up did not reach the menu");
      runs.push_back(run);
    }
    std::vector<double> totals;
    for (const TStartUp& r : runs) totals.push_back(r.Total);
    std::sort(totals.begin(), totals.end());
    state.SetIterationTime(totals[totals.size() / 2] / 1000);
    state.counters["median_ms"] = totals[totals.size() / 2];
    state.counters["min_ms"] = totals.front();
    state.counters["max_ms"] = totals.back();
    // Each part's median over the runs.
    for (int p = 0; p <= ptParts; ++p) {
      std::vector<double> v;
      for (const TStartUp& r : runs) v.push_back(r.Parts[size_t(p)]);
      std::sort(v.begin(), v.end());
      state.counters[std::string(p < ptParts ? PartNames[p] : "other") + "_ms"] = v[v.size() / 2];
    }
  }
}
BENCHMARK(BM_StartUpInProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Share of the window's pixels that show the reference picture, within 2 per channel
// (the 16-bit picture widened to 8 bits per channel); -1 when it cannot be read.
double Agreement(Display* display, Window window, const std::vector<uint16_t>& reference) {
  static std::vector<uint32_t> shown;
  if (!xreadback::Read(display, window, ScreenW, ScreenH, shown)) return -1;
  long same = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    const uint16_t c = reference[i];
    const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    const int want[3] = {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
    const int got[3] = {int(shown[i] >> 16), int(shown[i] >> 8 & 0xFF), int(shown[i] & 0xFF)};
    bool close = true;
    for (int k = 0; k < 3; ++k) close = close && std::abs(got[k] - want[k]) <= 2;
    same += close;
  }
  return double(same) / double(shown.size());
}

void BM_StartUpWholeProcess(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  if (!DataBuilt()) return state.SkipWithError("the game or its data is not built");
  if (!fs::exists(ReferencePath()) && RunChild(ReferencePath().string()).Total < 0)
    return state.SkipWithError("the start-up did not reach the menu");
  std::vector<uint16_t> reference(size_t(ScreenW) * ScreenH);
  {
    std::ifstream in(ReferencePath(), std::ios::binary);
    in.read(reinterpret_cast<char*>(reference.data()), std::streamsize(reference.size() * 2));
    if (!in) return state.SkipWithError("the first menu frame could not be read back");
  }
  Display* display = xreadback::Open();
  if (!display) return state.SkipWithError("the X display cannot be opened");
  const std::string game = (fs::path(SPRAYRUSH_GAME_DIR) / "sprayrush").string();
  for (auto _ : state) {
    std::vector<double> shown, windows, steps;
    for (int i = 0; i < Runs; ++i) {
      TRunFolder folder;
      const Clock::time_point start = Clock::now();
      const pid_t pid = Start({game}, folder.Dir, nullptr);
      if (pid <= 0) {
        XCloseDisplay(display);
        return state.SkipWithError("the game cannot be started");
      }
      Clock::time_point asked = start, before = start;
      double windowMs = -1, shownMs = -1;
      bool ended = false;
      // The menu slides in from its first frame on: most of the picture, the background,
      // is there from the start.
      while (Ms(Clock::now() - start) < 10000 && !(ended = ::waitpid(pid, nullptr, WNOHANG) != 0)) {
        before = asked;
        asked = Clock::now();
        const Window window = xreadback::FindWindow(display, "Sprayrush");
        if (window && windowMs < 0) windowMs = Ms(Clock::now() - start);
        if (window && Agreement(display, window, reference) >= 0.9) {
          shownMs = Ms(Clock::now() - start);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (!ended) Stop(pid);  // an ended one is collected; its number may be another's now
      if (shownMs < 0) {
        XCloseDisplay(display);
        return state.SkipWithError("the game's window never showed the menu");
      }
      shown.push_back(shownMs);
      windows.push_back(windowMs);
      // The picture came some time after the poll before; that gap is the figure's grain.
      steps.push_back(shownMs - Ms(before - start));
    }
    std::sort(shown.begin(), shown.end());
    std::sort(windows.begin(), windows.end());
    std::sort(steps.begin(), steps.end());
    state.SetIterationTime(shown[shown.size() / 2] / 1000);
    state.counters["median_ms"] = shown[shown.size() / 2];
    state.counters["min_ms"] = shown.front();
    state.counters["max_ms"] = shown.back();
    state.counters["window_mapped_ms"] = windows[windows.size() / 2];
    state.counters["grain_ms"] = steps[steps.size() / 2];
  }
  XCloseDisplay(display);
}
BENCHMARK(BM_StartUpWholeProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--start-up") == 0) return RunStartUp(argc >= 3 ? argv[2] : nullptr);
  // A real window; no sound device needed.
  ::unsetenv("SDL_VIDEODRIVER");
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove(ReferencePath(), ec);
  return 0;
}
