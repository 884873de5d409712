#pragma once
// Sine-tone waves for the sound tests and the mixing benchmark.
#include <cmath>
#include <numbers>
#include <cstdint>

#include "media/DXSounds/Wave/Wave.h"

// A sine tone; 8-bit samples are unsigned, 16-bit signed.
inline TWave ToneWave(uint32_t rate, uint16_t channels, uint16_t bits, double seconds,
                      double hz = 440) {
  TWave w;
  w.Format = PcmFormat(rate, channels, bits);
  const size_t frames = size_t(rate * seconds);
  for (size_t i = 0; i < frames; ++i) {
    const double v = std::sin(2 * std::numbers::pi * hz * double(i) / rate) * 0.5;
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        w.Data.push_back(uint8_t(128 + int(v * 127)));
      } else {
        const auto s = uint16_t(int16_t(v * 32767));
        w.Data.push_back(uint8_t(s));
        w.Data.push_back(uint8_t(s >> 8));
      }
    }
  }
  return w;
}
