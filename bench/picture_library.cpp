// Start-up cost of a picture library of about a hundred pictures: reading the file
// image (stream and bitmaps) and initialising (cutting patterns, converting once to
// the surface format with the colour key).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/DXDraws/PictureCollection.h"

namespace {

// Two full-screen backdrops, a dozen animation strips and the rest sprite-sized,
// like the race library.
std::vector<uint8_t> MakeLibrary(int bitCount) {
  TPictureCollection lib;
  auto add = [&](const std::string& name, int w, int h, int patternW) {
    TPictureCollectionItem& item = lib.Add();
    item.SetName(name);
    item.PatternWidth = patternW;
    item.SetTransparentColor(0xFF00FF);
    item.Picture = TDIB(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool key = (x * 7 + y * 3) % 11 == 0;
        item.Picture.SetPixel(x, y, key ? 0xFF00FF : uint32_t((x * 5) & 0xF8) | uint32_t((y * 3) & 0xF8) << 8);
      }
  };
  add("Back1", 800, 600, 0);
  add("Back2", 538, 600, 0);
  for (int i = 0; i < 12; ++i) add("Anim" + std::to_string(i), 84 * 8, 120, 84);
  for (int i = 0; i < 86; ++i) add("Sprite" + std::to_string(i), 40 + i % 20, 80, 0);
  return lib.SaveToBytes(bitCount);
}

void BM_LoadLibrary(benchmark::State& state) {
  const std::vector<uint8_t> image = MakeLibrary(int(state.range(0)));
  for (auto _ : state) {
    TPictureCollection lib;
    lib.LoadFromBytes(image);
    benchmark::DoNotOptimize(lib.Count());
  }
  state.counters["bytes"] = double(image.size());
}

void BM_LoadAndInitializeLibrary(benchmark::State& state) {
  const std::vector<uint8_t> image = MakeLibrary(int(state.range(0)));
  for (auto _ : state) {
    TPictureCollection lib;
    lib.LoadFromBytes(image);
    for (int i = 0; i < lib.Count(); ++i) lib.Items(i).Initialize();
    benchmark::DoNotOptimize(lib.Items(0).PatternSurface(0));
  }
}

void BM_Find(benchmark::State& state) {
  TPictureCollection lib;
  for (int i = 0; i < 100; ++i) lib.Add().SetName("Sprite" + std::to_string(i));
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&lib.Find(i % 2 ? "SPRITE42" : "sprite7"));
    ++i;
  }
}

}  // namespace

BENCHMARK(BM_LoadLibrary)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndInitializeLibrary)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Find);
BENCHMARK_MAIN();
