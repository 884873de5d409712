#include "tools/xmcompose/Instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace xm {
namespace {

constexpr double Pi = 3.14159265358979323846;
// Samples play at 8363 Hz * 4 for C-4 with relative note +24, so a 128-sample cycle sounds C-4.
constexpr int CycleLength = 128;
constexpr double SampleRate = 8363.0 * 4;

double Setting(const TSettings& s, const std::string& key, double fallback) {
  auto it = s.find(key);
  if (it == s.end()) return fallback;
  try {
    size_t used = 0;
    double v = std::stod(it->second, &used);
    if (used != it->second.size()) throw std::invalid_argument(key);
    return v;
  } catch (const std::exception&) {
    throw std::runtime_error("bad number for " + key + ": " + it->second);
  }
}

std::string Text(const TSettings& s, const std::string& key, const std::string& fallback) {
  auto it = s.find(key);
  return it == s.end() ? fallback : it->second;
}

// Additive synthesis keeps the cycle free of aliasing when it is played high.
double Harmonic(const std::string& wave, int k, double duty) {
  if (wave == "sine") return k == 1 ? 1.0 : 0.0;
  if (wave == "saw") return 1.0 / k;
  if (wave == "triangle") return k % 2 ? ((k / 2) % 2 ? -1.0 : 1.0) / (double(k) * k) : 0.0;
  if (wave == "square") return 2.0 * std::sin(Pi * k * duty) / (Pi * k);
  if (wave == "organ") return k == 1 ? 1.0 : k == 2 ? 0.5 : k == 4 ? 0.3 : k == 8 ? 0.15 : 0.0;
  throw std::runtime_error("unknown wave: " + wave);
}

std::vector<double> Cycles(const std::string& wave, double duty, int harmonics, int length,
                           const std::vector<double>& cyclesPerLoop) {
  std::vector<double> out(length, 0.0);
  for (double cycles : cyclesPerLoop)
    for (int k = 1; k <= harmonics; ++k) {
      double a = Harmonic(wave, k, duty);
      if (a == 0.0) continue;
      for (int i = 0; i < length; ++i) out[i] += a * std::sin(2 * Pi * k * cycles * i / length);
    }
  return out;
}

std::vector<int16_t> Normalise(const std::vector<double>& v, double peak = 0.9) {
  double m = 1e-9;
  for (double x : v) m = std::max(m, std::fabs(x));
  std::vector<int16_t> out(v.size());
  for (size_t i = 0; i < v.size(); ++i) out[i] = int16_t(std::lround(v[i] / m * peak * 32767));
  return out;
}

// Deterministic noise, so the build writes the same module every time.
struct TNoise {
  uint32_t State = 0x1234567;
  double Next() {
    State = State * 1103515245u + 12345u;
    return ((State >> 8) & 0xFFFF) / 32768.0 - 1.0;
  }
};

std::vector<double> Drum(const std::string& kind) {
  TNoise noise;
  std::vector<double> out;
  if (kind == "kick") {
    int n = int(SampleRate * 0.32);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
      double t = i / SampleRate;
      double f = 48 + 110 * std::exp(-t * 28);
      phase += 2 * Pi * f / SampleRate;
      double click = i < 40 ? noise.Next() * (1 - i / 40.0) * 0.4 : 0;
      out.push_back(std::sin(phase) * std::exp(-t * 9) + click);
    }
  } else if (kind == "snare") {
    int n = int(SampleRate * 0.22);
    double phase = 0, low = 0;
    for (int i = 0; i < n; ++i) {
      double t = i / SampleRate;
      phase += 2 * Pi * 185 / SampleRate;
      double x = noise.Next();
      low += 0.35 * (x - low);
      double hiss = (x - low) * std::exp(-t * 16);
      out.push_back(hiss * 0.9 + std::sin(phase) * std::exp(-t * 30) * 0.6);
    }
  } else if (kind == "hat" || kind == "openhat") {
    int n = int(SampleRate * (kind == "hat" ? 0.06 : 0.3));
    double decay = kind == "hat" ? 70 : 11;
    double previous = 0;
    for (int i = 0; i < n; ++i) {
      double x = noise.Next();
      double high = x - previous;  // a first difference keeps only the sizzle
      previous = x;
      out.push_back(high * std::exp(-i / SampleRate * decay));
    }
  } else if (kind == "crash") {
    int n = int(SampleRate * 1.2);
    double previous = 0;
    for (int i = 0; i < n; ++i) {
      double x = noise.Next();
      double high = x - 0.6 * previous;
      previous = x;
      out.push_back(high * std::exp(-i / SampleRate * 3.2));
    }
  } else if (kind == "tom") {
    int n = int(SampleRate * 0.3);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
      double t = i / SampleRate;
      phase += 2 * Pi * (95 + 60 * std::exp(-t * 18)) / SampleRate;
      out.push_back(std::sin(phase) * std::exp(-t * 10));
    }
  } else {
    throw std::runtime_error("unknown drum: " + kind);
  }
  return out;
}

TEnvelope Envelope(const std::string& kind) {
  if (kind == "pluck") return {{{0, 64}, {3, 50}, {12, 34}, {40, 22}}, 3};
  if (kind == "stab") return {{{0, 64}, {4, 40}, {10, 18}, {20, 6}, {30, 0}}, -1};
  if (kind == "sustain") return {{{0, 64}, {6, 54}, {16, 48}}, 2};
  if (kind == "pad") return {{{0, 0}, {12, 44}, {24, 40}}, 2};
  if (kind == "bell") return {{{0, 64}, {8, 34}, {30, 14}, {60, 0}}, -1};
  if (kind == "none") return {};
  throw std::runtime_error("unknown envelope: " + kind);
}

}  // namespace

TInstrument MakeInstrument(const std::string& name, const TSettings& s) {
  static const char* known[] = {"wave", "duty", "harm", "env", "vol", "fade", "vib", "drum", "detune", "pan"};
  for (const auto& [key, value] : s)
    if (std::find(std::begin(known), std::end(known), key) == std::end(known))
      throw std::runtime_error("unknown instrument setting: " + key);

  TInstrument ins;
  ins.Name = name;
  ins.Sample.Name = name;
  ins.Sample.RelativeNote = 24;
  ins.Sample.FineTune = 2;  // 128 samples at 33452 Hz is 2 cents flat of C-4
  ins.Sample.Volume = uint8_t(std::clamp(Setting(s, "vol", 48), 0.0, 64.0));
  ins.Sample.Panning = uint8_t(std::clamp(Setting(s, "pan", 128), 0.0, 255.0));
  ins.Fadeout = uint16_t(std::clamp(Setting(s, "fade", 1024), 0.0, 4095.0));

  if (s.count("drum")) {
    ins.Sample.Data = Normalise(Drum(Text(s, "drum", "")));
    ins.Sample.FineTune = 0;
    ins.VolumeEnvelope = Envelope(Text(s, "env", "none"));
    return ins;
  }

  std::string wave = Text(s, "wave", "square");
  double duty = Setting(s, "duty", 0.5);
  int harmonics = int(Setting(s, "harm", 24));
  double detune = Setting(s, "detune", 0);
  if (detune > 0) {
    // Two tones n and n+1 cycles apart over one long loop give a slow, even chorus.
    int cycles = int(std::lround(1.0 / detune));
    int length = CycleLength * cycles;
    ins.Sample.Data = Normalise(Cycles(wave, duty, harmonics, length, {double(cycles), double(cycles + 1)}), 0.8);
    ins.Sample.LoopLength = uint32_t(length);
  } else {
    ins.Sample.Data = Normalise(Cycles(wave, duty, harmonics, CycleLength, {1.0}));
    ins.Sample.LoopLength = CycleLength;
  }
  ins.Sample.Looped = true;
  ins.VolumeEnvelope = Envelope(Text(s, "env", "sustain"));
  double vib = Setting(s, "vib", 0);
  if (vib > 0) {
    ins.VibratoDepth = uint8_t(std::clamp(vib, 0.0, 15.0));
    ins.VibratoRate = 10;
    ins.VibratoSweep = 40;
  }
  return ins;
}

}  // namespace xm
