// The module player: order position while playing and wrapping, damaged modules refused.
// The mix is pulled here as the output's mixer would pull it, so nothing waits on a clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/ModPlayer.h"
#include "media/Platform/Audio.h"
#include "tests/sound/XmBuilder.h"

namespace {

constexpr int Block = 256;  // frames per pull, well below one tick of the test tunes

// Pulls blocks through the output's music path and records every change of order.
std::vector<int32_t> OrdersSeen(uintptr_t song, int blocks, int* loudest = nullptr) {
  std::vector<int16_t> pcm(Block * Platform::Audio::OutputChannels);
  std::vector<int32_t> seen{SongGetOrder(song)};
  for (int i = 0; i < blocks; ++i) {
    Platform::Audio::RenderMusic(pcm.data(), Block);
    if (loudest)
      for (int16_t s : pcm) *loudest = std::max(*loudest, std::abs(int(s)));
    const int32_t order = SongGetOrder(song);
    if (order != seen.back()) seen.push_back(order);
  }
  return seen;
}

TEST(ModPlayer, OrderMovesThroughTheListAndWrapsToZero) {
  const uintptr_t song = SongLoadFromMemory(ThreeOrderModule());
  ASSERT_NE(song, 0u);
  EXPECT_EQ(SongGetOrder(song), 0);
  SongPlay(song);
  int loudest = 0;
  // One loop is six ticks of about 430 frames each; this covers several.
  const std::vector<int32_t> seen = OrdersSeen(song, 60, &loudest);
  ASSERT_GE(seen.size(), 7u);
  EXPECT_EQ(std::vector(seen.begin(), seen.begin() + 7), (std::vector<int32_t>{0, 1, 2, 0, 1, 2, 0}));
  EXPECT_GT(loudest, 1000);  // the notes are heard

  // Playing again starts from the beginning.
  OrdersSeen(song, 5);
  SongPlay(song);
  EXPECT_EQ(SongGetOrder(song), 0);
  SongFree(song);
  EXPECT_EQ(SongGetOrder(song), 0);  // a dead handle reads as no song
  loudest = 0;
  OrdersSeen(song, 4, &loudest);
  EXPECT_EQ(loudest, 0);  // freeing the playing song silences it
}

TEST(ModPlayer, ASingleOrderTuneNeverLeavesOrderZero) {
  xm::TModule m = ThreeOrderTune();
  m.Orders = {1};
  const uintptr_t song = SongLoadFromMemory(xm::WriteModule(m));
  ASSERT_NE(song, 0u);
  SongPlay(song);
  EXPECT_EQ(OrdersSeen(song, 40), std::vector<int32_t>{0});
  SongFree(song);
}

TEST(ModPlayer, ANewSongReplacesThePlayingOne) {
  const std::vector<uint8_t> xm = ThreeOrderModule();
  const uintptr_t first = SongLoadFromMemory(xm);
  const uintptr_t second = SongLoadFromMemory(xm);
  ASSERT_NE(first, second);
  SongPlay(first);
  OrdersSeen(first, 8);
  SongPlay(second);
  const int32_t frozen = SongGetOrder(first);
  OrdersSeen(second, 8);
  EXPECT_EQ(SongGetOrder(first), frozen);
  EXPECT_NE(SongGetOrder(second), 0);
  SongFree(first);
  SongFree(second);
}

TEST(ModPlayer, MissingAndDamagedModulesGiveNoSong) {
  EXPECT_EQ(SongLoadFromFile("Data\\Music\\NoSuchTune.xm"), 0u);
  EXPECT_EQ(SongLoadFromFile(nullptr), 0u);

  const std::vector<uint8_t> good = ThreeOrderModule();
  constexpr size_t HeaderSize = 60, Patterns = 336;
  const std::vector<std::pair<const char*, std::function<void(std::vector<uint8_t>&)>>> cases{
      {"empty", [](auto& b) { b.clear(); }},
      {"cut inside the header", [](auto& b) { b.resize(40); }},
      {"wrong signature", [](auto& b) { b[0] = 'X'; }},
      {"cut inside the order list", [](auto& b) { b.resize(200); }},
      {"header size far too big", [](auto& b) { b[HeaderSize + 2] = 0x7F; }},
      {"no orders", [](auto& b) { b[64] = 0, b[65] = 0; }},
      {"no channels", [](auto& b) { b[68] = 0, b[69] = 0; }},
      {"pattern header cut", [](auto& b) { b.resize(Patterns + 5); }},
  };
  for (const auto& [name, damage] : cases) {
    std::vector<uint8_t> bad = good;
    damage(bad);
    const uintptr_t song = SongLoadFromMemory(bad);
    EXPECT_EQ(song, 0u) << name;
    SongFree(song);
  }
  // Whatever else a damaged module does, playing it must be safe.
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    std::vector<uint8_t> bad = good;
    for (size_t i = cut; i < bad.size(); i += 13) bad[i] ^= 0x5A;
    if (const uintptr_t song = SongLoadFromMemory(bad)) {
      SongPlay(song);
      OrdersSeen(song, 20);
      SongFree(song);
    }
  }
  SongPlay(0);
  SongFree(0);
  EXPECT_EQ(SongGetOrder(0), 0);
}

TEST(ModPlayer, LoadsFromAGamePath) {
  const std::string dir = ::testing::TempDir();
  const std::vector<uint8_t> xm = ThreeOrderModule();
  FILE* f = std::fopen((dir + "/Tune.xm").c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(xm.data(), 1, xm.size(), f);
  std::fclose(f);
  const uintptr_t song = SongLoadFromFile((dir + "\\Tune.xm").c_str());
  EXPECT_NE(song, 0u);
  SongFree(song);
}

}  // namespace
