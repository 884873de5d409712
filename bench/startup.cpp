// Time from start to the first menu frame, in a real window, beside its floor: the bare
// SDL program (bench/bare_sdl) opening the same window with the same renderer and
// presenting one 800 x 600 frame, timed the same way in the same run, floor and game
// taking turns so that a change in the machine's load hits both.
// In-process: each start in a fresh process of its own, the clock stopped when the first
// frame has been presented (the game: run as the program's entry runs it, with where the
// time went). Whole-process: the program started (fork and exec) until its window shows
// its picture, found by reading the window's pixels back from the X server.
// Needs an X display: tools/bench-window.sh starts Xvfb and runs this.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
#include "app/StartupData.h"
#include "media/DXClass/Application.h"
#include "media/DXClass/DXForm.h"
#include "media/DXClass/DXTimer.h"
#include "media/DXDraws/DXDraw.h"
#include "media/DXDraws/PictureCollection.h"
#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Events.h"
#include "media/Platform/System.h"
#include "media/Platform/Window.h"
#include "bench/Processes.h"
#include "bench/XReadBack.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int ScreenW = 800, ScreenH = 600;
constexpr int Runs = 5;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---- where the time goes (in the child) -----------------------------------------------
// Each part of the main thread's time is its own: a part called inside another is taken
// out of the outer one; "other" is the rest (the components made, the menu built, the
// first frame drawn, saves read). The data read beside the main thread is timed apart.
enum TPart { ptWindow, ptAudio, ptDataWait, ptPictures, ptSounds, ptFonts, ptMusic, ptShow, ptWait,
             ptPresent, ptParts };
constexpr const char* PartNames[ptParts] = {"window", "audio",  "data_wait", "pictures", "sounds",
                                            "fonts",  "music",  "show",      "wait",     "present"};

struct TPartClock {
  bool On = false;
  std::thread::id Main;
  std::array<double, ptParts> Ms{};
  struct TOpen {
    TPart Part;
    Clock::time_point Start;
    double Inner = 0;
  };
  std::vector<TOpen> Open;
  std::atomic<double> Beside{0};  // reading beside the main thread
};
TPartClock Parts;

class TPartTimer {
 public:
  explicit TPartTimer(TPart part) : Timing(Parts.On && std::this_thread::get_id() == Parts.Main) {
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

class TBesideTimer {
 public:
  ~TBesideTimer() { Parts.Beside = Parts.Beside + Ms(Clock::now() - Start); }

 private:
  Clock::time_point Start = Clock::now();
};

}  // namespace

// The linker sends the start-up's calls of these functions here (see CMakeLists.txt).
extern "C" {
void __real__ZN8Platform7TWindowC1ERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEii(
    Platform::TWindow* self, const std::string& caption, int w, int h);
void __real__ZN8TDXSound6LoadedEv(TDXSound* self);
TLoadedPictures __real__ZN12TStartupData16TakeMenuPicturesEv(TStartupData* self);
void __real__ZN18TPictureCollection4TakeE15TLoadedPictures(TPictureCollection* self, TLoadedPictures loaded);
void __real__ZN15TWaveCollection4TakeE12TLoadedWaves(TWaveCollection* self, TLoadedWaves loaded);
TLoadedPictures __real__ZN18TPictureCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEbb(
    const std::string& path, bool keepPictures, bool sizesOnly);
TLoadedWaves __real__ZN15TWaveCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const std::string& path);
void __real__Z13OpenTextFacesv();
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
TLoadedPictures __wrap__ZN12TStartupData16TakeMenuPicturesEv(TStartupData* self) {
  TPartTimer t(ptDataWait);
  return __real__ZN12TStartupData16TakeMenuPicturesEv(self);
}
void __wrap__ZN18TPictureCollection4TakeE15TLoadedPictures(TPictureCollection* self, TLoadedPictures loaded) {
  TPartTimer t(ptPictures);
  __real__ZN18TPictureCollection4TakeE15TLoadedPictures(self, std::move(loaded));
}
void __wrap__ZN15TWaveCollection4TakeE12TLoadedWaves(TWaveCollection* self, TLoadedWaves loaded) {
  TPartTimer t(ptSounds);
  __real__ZN15TWaveCollection4TakeE12TLoadedWaves(self, std::move(loaded));
}
TLoadedPictures __wrap__ZN18TPictureCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEbb(
    const std::string& path, bool keepPictures, bool sizesOnly) {
  TBesideTimer t;
  return __real__ZN18TPictureCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEEbb(
      path, keepPictures, sizesOnly);
}
TLoadedWaves __wrap__ZN15TWaveCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(
    const std::string& path) {
  TBesideTimer t;
  return __real__ZN15TWaveCollection8ReadFileERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE(path);
}
void __wrap__Z13OpenTextFacesv() {
  TBesideTimer t;
  __real__Z13OpenTextFacesv();
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
// "total <ms>", each part's milliseconds and "beside <ms>"; writes that frame to
// framePath if given.
int RunStartUp(const char* framePath) {
  const Clock::time_point start = Clock::now();
  ::alarm(30);  // a start-up that never reaches the menu ends here, not in a hung benchmark
  Parts.On = true;
  Parts.Main = std::this_thread::get_id();
  std::vector<uint16_t> frame;
  {
    Platform::TSystemLifetime system;
    TApplication application;
    application.Title = "Sprayrush";
    auto form = std::make_unique<TMForm>(application, std::make_unique<TStartupData>());
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
      std::printf(" other %.3f beside %.3f\n", total - parts, Parts.Beside.load());
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
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  if (out) {
    ::close(pipeFds[1]);
    *out = pipeFds[0];
  }
  return pid;
}

std::string SelfPath() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).string();
}

// The programs measured. SPRAYRUSH_BENCH_GAME and SPRAYRUSH_BENCH_FLOOR name others to
// start instead (the Windows build under Wine); those are timed whole-process only.
std::string GameProgram() {
  const char* other = std::getenv("SPRAYRUSH_BENCH_GAME");
  return other && *other ? fs::absolute(other).string() : (fs::path(SPRAYRUSH_GAME_DIR) / "sprayrush").string();
}
std::string FloorProgram() {
  const char* other = std::getenv("SPRAYRUSH_BENCH_FLOOR");
  return other && *other ? fs::absolute(other).string() : std::string(SPRAYRUSH_BARE_SDL);
}
bool OtherPrograms() {
  const char* game = std::getenv("SPRAYRUSH_BENCH_GAME");
  const char* floor = std::getenv("SPRAYRUSH_BENCH_FLOOR");
  return (game && *game) || (floor && *floor);
}

// "word number word number ..." as printed by a child.
std::map<std::string, double> Words(const std::string& text) {
  std::map<std::string, double> values;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    double value = 0;
    if (!(words >> value)) break;
    values[word] = value;
  }
  return values;
}

// One in-process start-up in a fresh process; "total" is missing when it failed.
std::map<std::string, double> RunChild(const std::vector<std::string>& argv) {
  TRunFolder folder;
  int out = -1;
  const pid_t pid = Start(argv, folder.Dir, &out);
  if (pid <= 0) return {};
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(out, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
  ::close(out);
  ::waitpid(pid, nullptr, 0);
  return Words(text);
}

fs::path ReferencePath() {
  return fs::temp_directory_path() / ("sprayrush-bench-menu-" + std::to_string(::getpid()) + ".raw");
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The figures of the run, for the summary at the end.
struct TFigures {
  std::map<std::string, double> Game, Floor;  // medians
  double GameMin = 0, GameMax = 0, FloorMin = 0, FloorMax = 0;
};
std::map<std::string, TFigures> Results;

// Keeps the run's figures and reports the game's median beside the floor's.
const TFigures& Keep(benchmark::State& state, const std::string& name,
                     const std::vector<std::map<std::string, double>>& game,
                     const std::vector<std::map<std::string, double>>& floor) {
  TFigures& r = Results[name];
  auto medians = [](const std::vector<std::map<std::string, double>>& runs, std::map<std::string, double>& to,
                    double& low, double& high) {
    std::map<std::string, std::vector<double>> all;
    for (const auto& run : runs)
      for (const auto& [k, v] : run) all[k].push_back(v);
    for (const auto& [k, v] : all) to[k] = Median(v);
    low = *std::min_element(all["total"].begin(), all["total"].end());
    high = *std::max_element(all["total"].begin(), all["total"].end());
  };
  medians(game, r.Game, r.GameMin, r.GameMax);
  medians(floor, r.Floor, r.FloorMin, r.FloorMax);
  state.SetIterationTime(r.Game.at("total") / 1000);
  state.counters["median_ms"] = r.Game.at("total");
  state.counters["floor_ms"] = r.Floor.at("total");
  state.counters["ratio"] = r.Game.at("total") / r.Floor.at("total");
  return r;
}

void BM_StartUpInProcess(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  if (!DataBuilt()) return state.SkipWithError("the game or its data is not built");
  if (OtherPrograms()) return state.SkipWithError("another build is timed whole-process only");
  for (auto _ : state) {
    std::vector<std::map<std::string, double>> game, floor;
    for (int i = 0; i < Runs; ++i) {
      floor.push_back(RunChild({SPRAYRUSH_BARE_SDL, "--start-up"}));
      std::vector<std::string> argv = {SelfPath(), "--start-up"};
      if (i == 0) argv.push_back(ReferencePath().string());
      game.push_back(RunChild(argv));
      if (!game.back().count("total") || !floor.back().count("total"))
        return state.SkipWithError("a start-up did not reach its first frame");
    }
    Keep(state, "in-process", game, floor);
  }
}
BENCHMARK(BM_StartUpInProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Share of the pixels of a band across the window's middle that show the reference
// picture, within 2 per channel (the 16-bit picture widened to 8 bits per channel); -1
// when they cannot be read. A band, not the whole window, so the polls come often.
double Agreement(Display* display, Window window, const std::vector<uint16_t>& reference) {
  constexpr int Top = 250, Rows = 100;
  static std::vector<uint32_t> shown;
  if (!xreadback::Read(display, window, ScreenW, Rows, shown, Top)) return -1;
  long same = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    const uint16_t c = reference[size_t(Top) * ScreenW + i];
    const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    const int want[3] = {r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
    const int got[3] = {int(shown[i] >> 16), int(shown[i] >> 8 & 0xFF), int(shown[i] & 0xFF)};
    bool close = true;
    for (int k = 0; k < 3; ++k) close = close && std::abs(got[k] - want[k]) <= 2;
    same += close;
  }
  return double(same) / double(shown.size());
}

// From fork and exec until the window titled title shows most of reference; "total"
// and "window_mapped" in ms, "grain" the poll's step; empty when it never showed.
std::map<std::string, double> TimeWholeProcess(Display* display, const std::string& program,
                                               const char* title, const std::vector<uint16_t>& reference) {
  TRunFolder folder;
  const Clock::time_point start = Clock::now();
  const pid_t pid = Start({program}, folder.Dir, nullptr);
  if (pid <= 0) return {};
  Clock::time_point asked = start, before = start;
  double windowMs = -1, shownMs = -1;
  bool ended = false;
  // The game's menu slides in from its first frame on: most of the picture, the
  // background, is there from the start.
  while (Ms(Clock::now() - start) < 60000 && !(ended = ::waitpid(pid, nullptr, WNOHANG) != 0)) {
    before = asked;
    asked = Clock::now();
    const Window window = xreadback::FindWindow(display, title);
    if (window && windowMs < 0) windowMs = Ms(Clock::now() - start);
    if (window && Agreement(display, window, reference) >= 0.9) {
      shownMs = Ms(Clock::now() - start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!ended) processes::StopTree(pid);  // an ended one is collected; its number may be another's now
  if (shownMs < 0) return {};
  // The picture came some time after the poll before; that gap is the figure's grain.
  return {{"total", shownMs}, {"window_mapped", windowMs}, {"grain", shownMs - Ms(before - start)}};
}

void BM_StartUpWholeProcess(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) return state.SkipWithError("needs an X display: run tools/bench-window.sh");
  if (!DataBuilt()) return state.SkipWithError("the game or its data is not built");
  if (!fs::exists(ReferencePath()) && !RunChild({SelfPath(), "--start-up", ReferencePath().string()}).count("total"))
    return state.SkipWithError("the start-up did not reach the menu");
  std::vector<uint16_t> menu(size_t(ScreenW) * ScreenH), bands(menu.size());
  {
    std::ifstream in(ReferencePath(), std::ios::binary);
    in.read(reinterpret_cast<char*>(menu.data()), std::streamsize(menu.size() * 2));
    if (!in) return state.SkipWithError("the first menu frame could not be read back");
  }
  for (int y = 0; y < ScreenH; ++y)
    for (int x = 0; x < ScreenW; ++x) bands[size_t(y) * ScreenW + x] = uint16_t((x + y) * 37);
  Display* display = xreadback::Open();
  if (!display) return state.SkipWithError("the X display cannot be opened");
  for (auto _ : state) {
    std::vector<std::map<std::string, double>> game, floor;
    for (int i = 0; i < Runs; ++i) {
      floor.push_back(TimeWholeProcess(display, FloorProgram(), "bare SDL", bands));
      game.push_back(TimeWholeProcess(display, GameProgram(), "Sprayrush", menu));
      if (floor.back().empty() || game.back().empty()) {
        XCloseDisplay(display);
        return state.SkipWithError("a window never showed its picture");
      }
    }
    const TFigures& r = Keep(state, "whole-process", game, floor);
    state.counters["grain_ms"] = std::max(r.Game.at("grain"), r.Floor.at("grain"));
  }
  XCloseDisplay(display);
}
BENCHMARK(BM_StartUpWholeProcess)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The start-up beside its floor, part by part, and the rows of the summary.
void PrintSummary() {
  if (Results.count("in-process")) {
    const TFigures& r = Results.at("in-process");
    const double floor = r.Floor.at("total"), game = r.Game.at("total");
    std::printf("\nStart-up in-process, medians of %d starts each, floor and game in turns:\n", Runs);
    std::printf("  floor %.0f ms (%.0f to %.0f): SDL video %.0f, window %.0f, renderer %.0f, show %.0f, "
                "first present %.0f\n",
                floor, r.FloorMin, r.FloorMax, r.Floor.at("video"), r.Floor.at("window"), r.Floor.at("renderer"),
                r.Floor.at("show"), r.Floor.at("present"));
    std::printf("  game  %.0f ms (%.0f to %.0f), %.2f of the floor; parts in ms and as a share of the floor:\n", game,
                r.GameMin, r.GameMax, game / floor);
    std::printf("   ");
    for (int i = 0; i <= ptParts; ++i) {
      const std::string name = i < ptParts ? PartNames[i] : "other";
      std::printf(" %s %.1f (%.2f)%s", name.c_str(), r.Game.at(name), r.Game.at(name) / floor,
                  i < ptParts ? "," : "\n");
    }
    std::printf("    read beside the window (pictures read and converted, sounds read, faces opened): %.0f ms\n",
                r.Game.at("beside"));
  }
  if (Results.count("whole-process")) {
    const TFigures& r = Results.at("whole-process");
    std::printf("\nStart-up whole-process (exec to the picture in the window), medians of %d each, "
                "polled every %.0f ms or so:\n",
                Runs, std::max(r.Game.at("grain"), r.Floor.at("grain")));
    std::printf("  floor %.0f ms (%.0f to %.0f), game %.0f ms (%.0f to %.0f): %.2f of the floor; "
                "windows mapped at %.0f and %.0f ms\n",
                r.Floor.at("total"), r.FloorMin, r.FloorMax, r.Game.at("total"), r.GameMin, r.GameMax,
                r.Game.at("total") / r.Floor.at("total"), r.Floor.at("window_mapped"), r.Game.at("window_mapped"));
  }
  // Rows of the summary table that tools/bench-window.sh prints last.
  auto row = [](const char* figure, const TFigures& r) {
    std::printf("| %s | %.0f ms (%.0f to %.0f) | %.0f ms (%.0f to %.0f) | %.2f | at most 1.5 |\n", figure,
                r.Game.at("total"), r.GameMin, r.GameMax, r.Floor.at("total"), r.FloorMin, r.FloorMax,
                r.Game.at("total") / r.Floor.at("total"));
  };
  std::printf("\n");
  if (Results.count("in-process")) row("Start-up to the first menu frame, in-process", Results.at("in-process"));
  if (Results.count("whole-process")) row("Start-up (exec) to the menu in the window", Results.at("whole-process"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--start-up") == 0) return RunStartUp(argc >= 3 ? argv[2] : nullptr);
  // A real window; no sound device needed.
  ::unsetenv("SDL_VIDEODRIVER");
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  PrintSummary();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove(ReferencePath(), ec);
  return 0;
}
