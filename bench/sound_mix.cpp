// What sound costs: mixing one tune and four effects at 44.1 kHz stereo (as a share of one
// core), and loading the sound library at start-up.
//
// The mix runs on SDL's disk driver writing to /dev/null without pauses, so the mixer
// thread works flat out; the process's CPU time per second of sound mixed is the cost.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/ModPlayer.h"
#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"
#include "tests/sound/ToneWave.h"
#include "tests/sound/XmBuilder.h"

namespace {

namespace Audio = Platform::Audio;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// A busy tune: eight channels with a note on every row, four patterns of 64 rows; or the
// game's own race tune when the data has been built.
std::vector<uint8_t> Tune() {
  const std::string own = std::string(SPRAYRUSH_GAME_DIR) + "/Data/Music/Race.xm";
  if (std::ifstream in{own, std::ios::binary})
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  xm::TModule m = ThreeOrderTune();
  m.Channels = 8;
  m.Speed = 3;
  m.Bpm = 125;
  m.Orders = {0, 1, 2, 3};
  m.Patterns.clear();
  for (int p = 0; p < 4; ++p) {
    xm::TPattern pattern = EmptyPattern(m, 64);
    for (int row = 0; row < 64; ++row)
      for (int c = 0; c < m.Channels; ++c)
        pattern.Cells[size_t(row * m.Channels + c)] = {uint8_t(37 + (row * 5 + c * 7 + p * 3) % 36), 1};
    m.Patterns.push_back(pattern);
  }
  return xm::WriteModule(m);
}

// Twenty effects of 0.2 to 2 seconds in the formats a recording comes in.
std::vector<TWaveEntry> Effects() {
  const struct {
    uint32_t Rate;
    uint16_t Channels, Bits;
  } formats[] = {{22050, 1, 16}, {11025, 1, 8}, {44100, 2, 16}, {44100, 1, 16}};
  std::vector<TWaveEntry> entries;
  for (int i = 0; i < 20; ++i) {
    const auto& f = formats[i % 4];
    const double seconds = 0.2 + 1.8 * i / 19.0;
    entries.push_back({"Effect" + std::to_string(i), i % 5 == 0, 0,
                       ToneWave(f.Rate, f.Channels, f.Bits, seconds, 220 + 40 * i)});
  }
  return entries;
}

std::atomic<int64_t> FramesMixed{0};
void CountingSource(int16_t* out, int frames) {
  SongRender(out, frames);
  FramesMixed += frames;
}

void BM_MixTuneAndFourEffects(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  setenv("SDL_DISKAUDIODELAY", "0", 1);
  TDXSound sound;
  TDXWaveList waves(&sound);
  sound.Loaded();
  if (!sound.Initialized()) {
    state.SkipWithError("the disk audio driver cannot be opened");
    return;
  }
  std::vector<TWaveEntry> entries = Effects();
  for (int i = 0; i < 4; ++i) entries[size_t(i)].Looped = true;  // four effects sounding throughout
  waves.Items.LoadFromBytes(WriteWaveLibrary(entries));
  const uintptr_t song = SongLoadFromMemory(Tune());
  SongPlay(song);
  Audio::SetMusicSource(CountingSource);
  for (int i = 0; i < 4; ++i) waves.Items.Items(i).Play(false);

  double cpu = 0, audio = 0;
  for (auto _ : state) {
    const int64_t frames0 = FramesMixed;
    const double cpu0 = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    cpu += CpuSeconds() - cpu0;
    audio += double(FramesMixed - frames0) / Audio::OutputRate;
  }
  state.counters["audio_s"] = audio;
  state.counters["cpu_s"] = cpu;
  state.counters["core_percent"] = audio > 0 ? 100 * cpu / audio : 0;
  Audio::SetMusicSource(SongRender);
  SongFree(song);
}
BENCHMARK(BM_MixTuneAndFourEffects)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tune alone, rendered straight through the player in the mixer's block size.
void BM_RenderTune(benchmark::State& state) {
  const uintptr_t song = SongLoadFromMemory(Tune());
  SongPlay(song);
  std::vector<int16_t> block(1024 * Audio::OutputChannels);
  int64_t frames = 0;
  const double cpu0 = CpuSeconds();
  for (auto _ : state) {
    SongRender(block.data(), 1024);
    frames += 1024;
    benchmark::DoNotOptimize(block.data());
  }
  const double audio = double(frames) / Audio::OutputRate;
  state.counters["core_percent"] = 100 * (CpuSeconds() - cpu0) / audio;
  SongFree(song);
}
BENCHMARK(BM_RenderTune);

// Start-up: read the library file and make every item's buffers (conversion included).
void BM_LoadSoundLibrary(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string path = (std::filesystem::temp_directory_path() / "bench_Sounds.dxw").string();
  const std::vector<uint8_t> bytes = WriteWaveLibrary(Effects());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              std::streamsize(bytes.size()));
  TDXSound sound;
  TDXWaveList waves(&sound);
  sound.Loaded();
  for (auto _ : state) waves.LoadFromFile(path);
  state.counters["file_MB"] = double(bytes.size()) / 1e6;
  state.counters["output_open"] = sound.Initialized();
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadSoundLibrary)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
