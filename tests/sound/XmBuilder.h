#pragma once
// Writes small XM modules in memory: a header, an order list, patterns of notes and one
// instrument with a short looped square-wave sample. Enough to drive the module player.
#include <cstdint>
#include <string>
#include <vector>

struct TXmNote {
  uint8_t Note = 0;        // 1..96, 0 = none
  uint8_t Instrument = 0;  // 1-based, 0 = none
};

struct TXmPattern {
  int Rows = 2;
  std::vector<TXmNote> Cells;  // Rows x channels, row by row; missing cells are empty
};

struct TXmModule {
  int Channels = 2;
  int Speed = 1;  // ticks per row
  int Bpm = 255;
  int Restart = 0;
  std::vector<uint8_t> Orders{0, 1, 2};
  std::vector<TXmPattern> Patterns;
  bool WithInstrument = true;
};

class TXmWriter {
 public:
  static std::vector<uint8_t> Write(const TXmModule& m) {
    TXmWriter w;
    w.Text("Extended Module: ", 17);
    w.Text("test tune", 20);
    w.U8(0x1A);
    w.Text("sprayrush test", 20);
    w.U16(0x0104);
    w.U32(276);
    w.U16(uint16_t(m.Orders.size()));
    w.U16(uint16_t(m.Restart));
    w.U16(uint16_t(m.Channels));
    w.U16(uint16_t(m.Patterns.size()));
    w.U16(m.WithInstrument ? 1 : 0);
    w.U16(1);  // linear frequency table
    w.U16(uint16_t(m.Speed));
    w.U16(uint16_t(m.Bpm));
    for (int i = 0; i < 256; ++i) w.U8(i < int(m.Orders.size()) ? m.Orders[size_t(i)] : 0);

    for (const TXmPattern& p : m.Patterns) {
      std::vector<uint8_t> packed;
      for (int i = 0; i < p.Rows * m.Channels; ++i) {
        const TXmNote n = size_t(i) < p.Cells.size() ? p.Cells[size_t(i)] : TXmNote{};
        if (n.Note == 0 && n.Instrument == 0) {
          packed.push_back(0x80);  // packed, nothing follows
          continue;
        }
        packed.push_back(uint8_t(0x80 | (n.Note ? 1 : 0) | (n.Instrument ? 2 : 0)));
        if (n.Note) packed.push_back(n.Note);
        if (n.Instrument) packed.push_back(n.Instrument);
      }
      w.U32(9);
      w.U8(0);
      w.U16(uint16_t(p.Rows));
      w.U16(uint16_t(packed.size()));
      w.Out.insert(w.Out.end(), packed.begin(), packed.end());
    }

    if (m.WithInstrument) {
      constexpr int SampleLength = 64;
      w.U32(263);
      w.Text("square", 22);
      w.U8(0);
      w.U16(1);    // samples
      w.U32(40);   // sample header size
      for (int i = 0; i < 96; ++i) w.U8(0);
      for (int i = 0; i < 96; ++i) w.U8(0);  // volume and panning envelope points
      for (int i = 0; i < 14; ++i) w.U8(0);  // envelope counts, sustain, loops, types, vibrato
      w.U16(0);                              // fadeout
      for (int i = 0; i < 22; ++i) w.U8(0);  // reserved
      w.U32(SampleLength);
      w.U32(0);
      w.U32(SampleLength);  // loop the whole sample
      w.U8(64);             // volume
      w.U8(0);              // finetune
      w.U8(1);              // forward loop, 8-bit
      w.U8(128);            // panning
      w.U8(0);              // relative note
      w.U8(0);
      w.Text("square", 22);
      int8_t previous = 0;  // samples are stored as deltas
      for (int i = 0; i < SampleLength; ++i) {
        const int8_t v = i < SampleLength / 2 ? 64 : -64;
        w.U8(uint8_t(v - previous));
        previous = v;
      }
    }
    return w.Out;
  }

  // Three orders of two-row patterns, a note at the start of each: the test tune.
  static TXmModule ThreeOrders() {
    TXmModule m;
    for (uint8_t note : {49, 53, 56}) {
      TXmPattern p;
      p.Rows = 2;
      p.Cells = {{note, 1}};
      m.Patterns.push_back(p);
    }
    return m;
  }

 private:
  std::vector<uint8_t> Out;
  void U8(uint8_t v) { Out.push_back(v); }
  void U16(uint16_t v) {
    U8(uint8_t(v));
    U8(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(uint16_t(v));
    U16(uint16_t(v >> 16));
  }
  void Text(const std::string& s, size_t width) {
    for (size_t i = 0; i < width; ++i) U8(i < s.size() ? uint8_t(s[i]) : 0);
  }
};
