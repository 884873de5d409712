#pragma once
// Small modules for the player's tests, written by the tune compiler's own module writer.
#include <cstdint>
#include <vector>

#include "tools/xmcompose/Instruments.h"
#include "tools/xmcompose/XmWriter.h"

// An empty pattern of the module's channel count.
inline xm::TPattern EmptyPattern(const xm::TModule& m, int rows) {
  xm::TPattern p;
  p.Rows = rows;
  p.Cells.assign(size_t(rows) * size_t(m.Channels), xm::TCell{});
  return p;
}

// Three orders of two-row patterns, a note at the start of each, at full speed.
inline xm::TModule ThreeOrderTune() {
  xm::TModule m;
  m.Channels = 2;
  m.Speed = 1;
  m.Bpm = 255;
  m.Orders = {0, 1, 2};
  m.Instruments.push_back(xm::MakeInstrument("square", {{"wave", "square"}, {"env", "none"}}));
  for (uint8_t note : {49, 53, 56}) {
    xm::TPattern p = EmptyPattern(m, 2);
    p.Cells[0] = {note, 1};
    m.Patterns.push_back(p);
  }
  return m;
}

inline std::vector<uint8_t> ThreeOrderModule() { return xm::WriteModule(ThreeOrderTune()); }
