#pragma once
// Writes FastTracker 2 extended modules (".xm") from notes and synthesised samples.
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr uint8_t KeyOff = 97;

struct TCell {
  uint8_t Note = 0;        // 1..96 (C-0..B-7), KeyOff, 0 = none
  uint8_t Instrument = 0;  // 1-based, 0 = none
  uint8_t Volume = 0;      // volume column: 0x10..0x50 sets 0..64, 0 = none
  uint8_t Effect = 0, Param = 0;
  bool Empty() const { return !Note && !Instrument && !Volume && !Effect && !Param; }
};

struct TPattern {
  int Rows = 64;
  std::vector<TCell> Cells;  // Rows x channel count, row-major
};

struct TEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> Points;  // (tick, 0..64)
  int Sustain = -1;                                   // point index, -1 = none
};

struct TSample {
  std::string Name;
  std::vector<int16_t> Data;
  bool Looped = false;
  uint32_t LoopStart = 0, LoopLength = 0;  // in samples
  uint8_t Volume = 64;
  int8_t FineTune = 0, RelativeNote = 0;
  uint8_t Panning = 128;
};

struct TInstrument {
  std::string Name;
  TSample Sample;
  TEnvelope VolumeEnvelope;
  uint16_t Fadeout = 0;
  uint8_t VibratoDepth = 0, VibratoRate = 0, VibratoSweep = 0;
};

struct TModule {
  std::string Name;
  int Channels = 8;
  int Speed = 6, Bpm = 125;
  std::vector<uint8_t> Orders;
  int Restart = 0;
  std::vector<TPattern> Patterns;
  std::vector<TInstrument> Instruments;
};

std::vector<uint8_t> WriteModule(const TModule& module);

}  // namespace xm
