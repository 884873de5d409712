#pragma once
// Waves and sound libraries made in memory, and a sound output opened on a chosen SDL
// audio driver for one test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/DXSounds/DXSound.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"
#include "media/Platform/System.h"
#include "tests/sound/ToneWave.h"

inline TWaveEntry Entry(std::string name, double seconds, bool looped = false, int32_t max = 0) {
  return {std::move(name), looped, max, ToneWave(8000, 1, 8, seconds)};
}

// Opens the sound output on one SDL audio driver ("dummy", "disk", or a name that does
// not exist for a machine without sound) with a wave library bound to it.
class TSoundTest : public ::testing::Test {
 protected:
  void OpenOutput(const char* driver) {
    Platform::SetEnvironment("SDL_AUDIODRIVER", driver);
    Sound = std::make_unique<TDXSound>();
    Waves = std::make_unique<TDXWaveList>(Sound.get());
    Sound->Loaded();
  }
  void TearDown() override {
    Waves.reset();
    Sound.reset();
  }
  // Voices of this item sounding now: the master and every playing copy.
  static int Sounding(const TWaveCollectionItem& item) {
    int n = item.Master() && item.Master()->Playing() ? 1 : 0;
    for (const auto& copy : item.Copies()) n += copy->Playing() ? 1 : 0;
    return n;
  }

  std::unique_ptr<TDXSound> Sound;
  std::unique_ptr<TDXWaveList> Waves;
};
