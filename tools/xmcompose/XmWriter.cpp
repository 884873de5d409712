#include "tools/xmcompose/XmWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace xm {
namespace {

class TOut {
 public:
  std::vector<uint8_t> Bytes;
  void U8(uint32_t v) { Bytes.push_back(uint8_t(v)); }
  void U16(uint32_t v) { U8(v); U8(v >> 8); }
  void U32(uint32_t v) { U16(v); U16(v >> 16); }
  void Text(const std::string& s, size_t width, char pad = 0) {
    for (size_t i = 0; i < width; ++i) U8(i < s.size() ? uint8_t(s[i]) : uint8_t(pad));
  }
  void Zeros(size_t n) { Bytes.insert(Bytes.end(), n, 0); }
};

std::vector<uint8_t> PackPattern(const TPattern& p, int channels) {
  TOut out;
  for (int r = 0; r < p.Rows; ++r) {
    for (int c = 0; c < channels; ++c) {
      const TCell& cell = p.Cells[size_t(r) * channels + c];
      uint8_t mask = 0x80;
      if (cell.Note) mask |= 1;
      if (cell.Instrument) mask |= 2;
      if (cell.Volume) mask |= 4;
      if (cell.Effect) mask |= 8;
      if (cell.Param) mask |= 16;
      out.U8(mask);
      if (cell.Note) out.U8(cell.Note);
      if (cell.Instrument) out.U8(cell.Instrument);
      if (cell.Volume) out.U8(cell.Volume);
      if (cell.Effect) out.U8(cell.Effect);
      if (cell.Param) out.U8(cell.Param);
    }
  }
  return out.Bytes;
}

void WriteInstrument(TOut& out, const TInstrument& ins) {
  const TSample& s = ins.Sample;
  out.U32(263);  // instrument header size, reserved tail included
  out.Text(ins.Name, 22);
  out.U8(0);
  out.U16(1);   // one sample
  out.U32(40);  // sample header size
  out.Zeros(96);  // every note plays sample 0
  const auto& pts = ins.VolumeEnvelope.Points;
  if (pts.size() > 12) throw std::runtime_error("envelope has more than 12 points: " + ins.Name);
  for (size_t i = 0; i < 12; ++i) {
    out.U16(i < pts.size() ? pts[i].first : 0);
    out.U16(i < pts.size() ? pts[i].second : 0);
  }
  out.Zeros(48);  // no panning envelope
  out.U8(uint8_t(pts.size()));
  out.U8(0);
  out.U8(ins.VolumeEnvelope.Sustain >= 0 ? ins.VolumeEnvelope.Sustain : 0);
  out.U8(0);  // loop start
  out.U8(0);  // loop end
  out.U8(0);
  out.U8(0);
  out.U8(0);
  uint8_t volType = pts.empty() ? 0 : 1;
  if (!pts.empty() && ins.VolumeEnvelope.Sustain >= 0) volType |= 2;
  out.U8(volType);
  out.U8(0);  // panning envelope off
  out.U8(0);  // vibrato: sine
  out.U8(ins.VibratoSweep);
  out.U8(ins.VibratoDepth);
  out.U8(ins.VibratoRate);
  out.U16(ins.Fadeout);
  out.Zeros(22);

  out.U32(uint32_t(s.Data.size() * 2));
  out.U32(s.Looped ? s.LoopStart * 2 : 0);
  out.U32(s.Looped ? s.LoopLength * 2 : 0);
  out.U8(s.Volume);
  out.U8(uint8_t(s.FineTune));
  out.U8((s.Looped ? 1 : 0) | 0x10);  // forward loop, 16-bit
  out.U8(s.Panning);
  out.U8(uint8_t(s.RelativeNote));
  out.U8(0);
  out.Text(s.Name, 22);

  int16_t previous = 0;  // sample data is stored as deltas
  for (int16_t v : s.Data) {
    out.U16(uint16_t(int16_t(v - previous)));
    previous = v;
  }
}

}  // namespace

std::vector<uint8_t> WriteModule(const TModule& m) {
  if (m.Orders.empty() || m.Orders.size() > 256) throw std::runtime_error("order list must hold 1..256 entries");
  if (m.Channels < 1 || m.Channels > 32) throw std::runtime_error("channel count must be 1..32");
  TOut out;
  out.Text("Extended Module: ", 17);
  out.Text(m.Name, 20);
  out.U8(0x1A);
  out.Text("xmcompose", 20);
  out.U16(0x0104);
  out.U32(276);
  out.U16(uint16_t(m.Orders.size()));
  out.U16(uint16_t(m.Restart));
  out.U16(uint16_t(m.Channels));
  out.U16(uint16_t(m.Patterns.size()));
  out.U16(uint16_t(m.Instruments.size()));
  out.U16(1);  // linear frequency table
  out.U16(uint16_t(m.Speed));
  out.U16(uint16_t(m.Bpm));
  for (size_t i = 0; i < 256; ++i) out.U8(i < m.Orders.size() ? m.Orders[i] : 0);

  for (const TPattern& p : m.Patterns) {
    std::vector<uint8_t> packed = PackPattern(p, m.Channels);
    out.U32(9);
    out.U8(0);
    out.U16(uint16_t(p.Rows));
    out.U16(uint16_t(packed.size()));
    out.Bytes.insert(out.Bytes.end(), packed.begin(), packed.end());
  }
  for (const TInstrument& ins : m.Instruments) WriteInstrument(out, ins);
  return out.Bytes;
}

}  // namespace xm
