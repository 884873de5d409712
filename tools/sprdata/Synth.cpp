#include "tools/sprdata/Synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/sprdata/FileUtil.h"
#include "tools/sprdata/TextUtil.h"

namespace {

constexpr double Pi = std::numbers::pi;

double ParseNote(const TSourceLine& line, std::string_view field, const std::string& text) {
  static const int Semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (text.size() < 2 || text[0] < 'A' || text[0] > 'G') line.Fail(std::string(field) + ": '" + text + "' is not a note like A4 or C#5");
  int semitone = Semitones[text[0] - 'A'];
  size_t at = 1;
  if (text[at] == '#') ++semitone, ++at;
  else if (text[at] == 'b') --semitone, ++at;
  const int octave = ParseInt(line, field, text.substr(at), -1, 9);
  const int midi = 12 * (octave + 1) + semitone;
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

void ParsePair(const TSourceLine& line, std::string_view field, const std::string& value, double& a, double& b) {
  const auto colon = value.find(':');
  if (colon == std::string::npos) line.Fail(std::string(field) + ": '" + value + "' is not a:b");
  a = ParseNumber(line, field, value.substr(0, colon));
  b = ParseNumber(line, field, value.substr(colon + 1));
}

double Positive(const TSourceLine& line, std::string_view field, const std::string& value, bool allowZero) {
  const double v = ParseNumber(line, field, value);
  if (v < 0 || (!allowZero && v == 0)) line.Fail(std::string(field) + ": " + value + " must be " + (allowZero ? "0 or more" : "more than 0"));
  return v;
}

TSynthVoice ParseVoice(const TSourceLine& line) {
  TSynthVoice v;
  v.Line = line;
  v.Wave = line.Words[0] == "noise" ? TSynthVoice::TWaveform::Noise : TSynthVoice::TWaveform::Sine;
  for (size_t i = 1; i < line.Words.size(); ++i) {
    std::string key, value;
    if (!TSourceLine::SplitField(line.Words[i], key, value)) line.Fail("'" + line.Words[i] + "' is not a field=value");
    if (key == "wave") {
      using W = TSynthVoice::TWaveform;
      static const std::pair<const char*, W> Names[] = {{"sine", W::Sine}, {"triangle", W::Triangle},
          {"square", W::Square}, {"saw", W::Saw}, {"pulse", W::Pulse}, {"noise", W::Noise}, {"crackle", W::Crackle}};
      bool found = false;
      for (auto& [name, w] : Names)
        if (value == name) v.Wave = w, found = true;
      if (!found) line.Fail("wave: '" + value + "' is not sine, triangle, square, saw, pulse, noise or crackle");
    } else if (key == "freq") v.Freq = Positive(line, key, value, false);
    else if (key == "note") v.Freq = ParseNote(line, key, value);
    else if (key == "to") v.To = Positive(line, key, value, false);
    else if (key == "tonote") v.To = ParseNote(line, key, value);
    else if (key == "glide") v.Glide = Positive(line, key, value, true);
    else if (key == "start") v.Start = Positive(line, key, value, true);
    else if (key == "dur") v.Dur = Positive(line, key, value, false);
    else if (key == "every") v.Every = Positive(line, key, value, false);
    else if (key == "vol") v.Vol = Positive(line, key, value, true);
    else if (key == "attack") v.Attack = Positive(line, key, value, true);
    else if (key == "decay") v.Decay = Positive(line, key, value, true);
    else if (key == "release") v.Release = Positive(line, key, value, true);
    else if (key == "duty") {
      v.Duty = ParseNumber(line, key, value);
      if (v.Duty <= 0 || v.Duty >= 1) line.Fail("duty: " + value + " must lie between 0 and 1");
    } else if (key == "vib") ParsePair(line, key, value, v.VibRate, v.VibDepth);
    else if (key == "trem") ParsePair(line, key, value, v.TremRate, v.TremDepth);
    else if (key == "fm") ParsePair(line, key, value, v.FmRatio, v.FmIndex);
    else if (key == "fmdecay") v.FmDecay = Positive(line, key, value, true);
    else if (key == "lp") v.Lp = Positive(line, key, value, false);
    else if (key == "lpto") v.LpTo = Positive(line, key, value, false);
    else if (key == "hp") v.Hp = Positive(line, key, value, false);
    else if (key == "hpto") v.HpTo = Positive(line, key, value, false);
    else if (key == "bp") v.Bp = Positive(line, key, value, false);
    else if (key == "bpto") v.BpTo = Positive(line, key, value, false);
    else if (key == "q") v.Q = Positive(line, key, value, false);
    else if (key == "density") v.Density = Positive(line, key, value, false);
    else if (key == "seed") v.Seed = uint32_t(ParseInt(line, key, value, 0, 1 << 30));
    else line.Fail("unknown field '" + key + "'");
  }
  if (v.Wave == TSynthVoice::TWaveform::Crackle || v.Wave == TSynthVoice::TWaveform::Noise) v.To = 0;
  return v;
}

// A few ints of state per voice instance: small and the same on every machine.
struct TRandom {
  uint32_t State;
  explicit TRandom(uint32_t seed) : State(seed * 2654435761u + 0x9E3779B9u) { if (!State) State = 1; }
  double Next() {  // -1..1
    State ^= State << 13, State ^= State >> 17, State ^= State << 5;
    return double(State) / 2147483648.0 - 1.0;
  }
};

// State-variable filter (trapezoidal), stable under fast cutoff sweeps.
struct TFilter {
  double Ic1 = 0, Ic2 = 0;
  double Run(double x, double cutoff, double q, int rate, int kind) {
    cutoff = std::clamp(cutoff, 10.0, 0.45 * rate);
    const double g = std::tan(Pi * cutoff / rate), k = 1.0 / q;
    const double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    const double v3 = x - Ic2, v1 = a1 * Ic1 + a2 * v3, v2 = Ic2 + a2 * Ic1 + a3 * v3;
    Ic1 = 2 * v1 - Ic1, Ic2 = 2 * v2 - Ic2;
    if (kind == 0) return v2;                 // low
    if (kind == 1) return x - k * v1 - v2;    // high
    return k * v1;                            // band, unity at its peak
  }
};

double Sweep(double from, double to, double fraction) {
  return to > 0 ? from * std::pow(to / from, std::clamp(fraction, 0.0, 1.0)) : from;
}

// Smooths the corner of a jump in a naive waveform (polyBLEP), so high notes do not alias.
double Blep(double t, double dt) {
  if (dt <= 0) return 0;
  if (t < dt) { t /= dt; return t + t - t * t - 1.0; }
  if (t > 1.0 - dt) { t = (t - 1.0) / dt; return t * t + t + t + 1.0; }
  return 0;
}

double Frac(double x) { return x - std::floor(x); }

double Oscillator(const TSynthVoice& v, double phase, double dt) {
  using W = TSynthVoice::TWaveform;
  const double p = Frac(phase);
  switch (v.Wave) {
    case W::Sine: return std::sin(2 * Pi * p);
    case W::Triangle: return 1.0 - 4.0 * std::abs(p - 0.5);
    case W::Saw: return 2.0 * p - 1.0 - Blep(p, dt);
    case W::Square:
    case W::Pulse: {
      const double duty = v.Wave == W::Square ? 0.5 : v.Duty;
      double y = p < duty ? 1.0 : -1.0;
      y += Blep(p, dt) - Blep(Frac(p - duty + 1.0), dt);
      return y - (2 * duty - 1);  // no offset
    }
    default: return 0;
  }
}

// One sounding of a voice: `count` samples, its own time from 0. A drone (a looped
// voice that never stops) takes its phases from the absolute sample index, so whole
// cycles per loop make it periodic.
void RenderInstance(const TSynthVoice& v, int rate, size_t count, double duration, uint32_t seed,
                    bool drone, size_t loopSamples, const std::vector<double>& noiseTable, std::vector<double>& out) {
  using W = TSynthVoice::TWaveform;
  out.assign(count, 0.0);
  TRandom random(seed);
  TFilter lp, hp, bp;
  double phase = 0;
  const double glide = v.Glide > 0 ? v.Glide : duration;
  for (size_t n = 0; n < count; ++n) {
    const double t = double(n) / rate;
    double env = 1;
    if (!drone) {
      if (v.Attack > 0 && t < v.Attack) env = t / v.Attack;
      if (v.Decay > 0 && t > v.Attack) env *= std::exp(-(t - v.Attack) / v.Decay);
      if (v.Release > 0 && t > duration - v.Release) env *= std::max(0.0, (duration - t) / v.Release);
    }
    if (v.TremRate > 0) env *= 1.0 - v.TremDepth * (0.5 - 0.5 * std::cos(2 * Pi * v.TremRate * t));
    double f = v.To > 0 && !drone ? Sweep(v.Freq, v.To, t / glide) : v.Freq;
    double x = 0;
    if (v.Wave == W::Noise) {
      x = drone ? noiseTable[n % loopSamples] : random.Next();
    } else if (v.Wave == W::Crackle) {
      const double r = drone ? noiseTable[n % loopSamples] : random.Next();
      const double amplitude = drone ? noiseTable[(n * 7 + 3) % loopSamples] : random.Next();
      x = (r + 1) * 0.5 < v.Density / rate ? 4 * amplitude : 0.0;
    } else {
      double p;
      if (drone) {
        const auto cycles = uint64_t(std::llround(v.Freq * double(loopSamples) / rate));
        p = double((cycles * n) % loopSamples) / double(loopSamples);
      } else {
        p = phase;
        phase += f / rate;
      }
      if (v.VibRate > 0) p += f * (std::pow(2.0, v.VibDepth / 12.0) - 1.0) * std::sin(2 * Pi * v.VibRate * t) / (2 * Pi * v.VibRate);
      if (v.FmIndex > 0) {
        const double index = v.FmDecay > 0 ? v.FmIndex * std::exp(-t / v.FmDecay) : v.FmIndex;
        p += index * std::sin(2 * Pi * v.FmRatio * p) / (2 * Pi);
      }
      x = Oscillator(v, p, f / rate);
    }
    const double fraction = duration > 0 ? t / duration : 0;
    if (v.Hp > 0) x = hp.Run(x, Sweep(v.Hp, v.HpTo, fraction), v.Q, rate, 1);
    if (v.Lp > 0) x = lp.Run(x, Sweep(v.Lp, v.LpTo, fraction), v.Q, rate, 0);
    if (v.Bp > 0) x = bp.Run(x, Sweep(v.Bp, v.BpTo, fraction), v.Q, rate, 2);
    out[n] = x * env * v.Vol;
  }
}

// Whole cycles (or whole periods) of a loop of `loop` seconds.
double RoundToLoop(double hz, double loop) { return hz > 0 ? std::max(1.0, std::round(hz * loop)) / loop : 0; }

}  // namespace

TSynthSound ReadSynthDescription(const std::string& path) {
  TSynthSound sound;
  bool haveSound = false;
  for (const auto& line : ReadSourceLines(path)) {
    const std::string& kind = line.Words[0];
    if (kind == "sound") {
      if (haveSound) line.Fail("a second sound line");
      haveSound = true;
      for (size_t i = 1; i < line.Words.size(); ++i) {
        std::string key, value;
        if (!TSourceLine::SplitField(line.Words[i], key, value)) line.Fail("'" + line.Words[i] + "' is not a field=value");
        if (key == "length") {
          sound.Length = Positive(line, key, value, false);
          if (sound.Length > 30) line.Fail("length: " + value + " is longer than 30 seconds");
        } else if (key == "rate") {
          sound.Rate = ParseInt(line, key, value, 8000, 48000);
          if (sound.Rate != 22050 && sound.Rate != 44100) line.Fail("rate: " + value + " is neither 22050 nor 44100");
        } else if (key == "bits") {
          sound.Bits = ParseInt(line, key, value, 8, 16);
          if (sound.Bits != 8 && sound.Bits != 16) line.Fail("bits: " + value + " is neither 8 nor 16");
        } else if (key == "peak") {
          sound.PeakDb = ParseNumber(line, key, value);
          if (sound.PeakDb > 0 || sound.PeakDb < -40) line.Fail("peak: " + value + " dB is not within -40..0");
        } else if (key == "drive") {
          sound.Drive = ParseNumber(line, key, value);
          if (sound.Drive < 0 || sound.Drive > 10) line.Fail("drive: " + value + " is not within 0..10");
        } else line.Fail("unknown field '" + key + "'");
      }
      if (sound.Length <= 0) line.Fail("sound: length is missing");
    } else if (kind == "tone" || kind == "noise") {
      if (!haveSound) line.Fail("the sound line must come first");
      sound.Voices.push_back(ParseVoice(line));
    } else if (kind == "echo") {
      if (!haveSound) line.Fail("the sound line must come first");
      for (size_t i = 1; i < line.Words.size(); ++i) {
        std::string key, value;
        if (!TSourceLine::SplitField(line.Words[i], key, value)) line.Fail("'" + line.Words[i] + "' is not a field=value");
        if (key == "delay") sound.EchoDelay = Positive(line, key, value, false);
        else if (key == "feedback") {
          sound.EchoFeedback = ParseNumber(line, key, value);
          if (sound.EchoFeedback < 0 || sound.EchoFeedback >= 0.95) line.Fail("feedback: " + value + " must lie within 0..0.95");
        } else if (key == "mix") sound.EchoMix = Positive(line, key, value, true);
        else line.Fail("unknown field '" + key + "'");
      }
    } else {
      line.Fail("unknown line '" + kind + "' (sound, tone, noise or echo)");
    }
  }
  if (!haveSound) throw EDataError(path + ": no sound line");
  if (sound.Voices.empty()) throw EDataError(path + ": no tone or noise line");
  return sound;
}

std::vector<float> RenderSynth(const TSynthSound& sound, bool looped) {
  const size_t total = size_t(std::llround(sound.Length * sound.Rate));
  std::vector<double> mix(total, 0.0), part, noiseTable;
  for (size_t index = 0; index < sound.Voices.size(); ++index) {
    TSynthVoice v = sound.Voices[index];
    if (v.Start >= sound.Length) v.Line.Fail("start lies after the end of the sound");
    const bool drone = looped && v.Every == 0 && (v.Dur < 0 || v.Dur >= sound.Length);
    if (looped) {
      v.VibRate = RoundToLoop(v.VibRate, sound.Length);
      v.TremRate = RoundToLoop(v.TremRate, sound.Length);
      if (v.Every > 0) v.Every = sound.Length / std::max(1.0, std::round(sound.Length / v.Every));
    }
    if (drone) {
      if (v.To > 0) v.Line.Fail("a voice that sounds through a loop cannot glide");
      v.Freq = RoundToLoop(v.Freq, sound.Length);
      noiseTable.resize(total);
      TRandom random(v.Seed * 7919u + uint32_t(index));
      for (auto& x : noiseTable) x = random.Next();
      // Three periods, so the filters settle; the last one is the loop.
      RenderInstance(v, sound.Rate, 3 * total, 3 * sound.Length, v.Seed, true, total, noiseTable, part);
      for (size_t n = 0; n < total; ++n) mix[n] += part[2 * total + n];
      continue;
    }
    const double duration = v.Dur > 0 ? v.Dur : sound.Length - v.Start;
    const size_t count = size_t(std::llround(duration * sound.Rate));
    int shot = 0;
    for (double start = v.Start; start < sound.Length - 1e-9; start += v.Every, ++shot) {
      RenderInstance(v, sound.Rate, count, duration, v.Seed + uint32_t(shot) * 101u + uint32_t(index) * 7u,
                     false, 0, noiseTable, part);
      const size_t at = size_t(std::llround(start * sound.Rate));
      for (size_t n = 0; n < count; ++n) {
        if (looped) mix[(at + n) % total] += part[n];
        else if (at + n < total) mix[at + n] += part[n];
      }
      if (v.Every <= 0) break;
    }
  }

  if (sound.EchoDelay > 0 && sound.EchoMix > 0) {
    const size_t delay = std::max<size_t>(1, size_t(std::llround(sound.EchoDelay * sound.Rate)));
    std::vector<double> wet(total, 0.0);
    // A loop's echo wraps too: go round until the feedback has died away.
    const int rounds = looped ? 8 : 1;
    for (int r = 0; r < rounds; ++r)
      for (size_t n = 0; n < total; ++n) {
        if (!looped && n < delay) continue;
        const size_t from = (n + total - delay % total) % total;
        wet[n] = mix[from] + sound.EchoFeedback * wet[from];
      }
    for (size_t n = 0; n < total; ++n) mix[n] += sound.EchoMix * wet[n];
  }

  if (sound.Drive > 0) {
    // Saturating the peaks lets a blast sound louder at the same peak level.
    double peak = 0;
    for (double x : mix) peak = std::max(peak, std::abs(x));
    if (peak > 0)
      for (double& x : mix) x = std::tanh(sound.Drive * x / peak) / std::tanh(sound.Drive);
  }
  if (looped && total > 0) {
    double mean = 0;
    for (double x : mix) mean += x;
    mean /= double(total);
    for (double& x : mix) x -= mean;
  } else {
    // The last milliseconds fade, so a note cut by the sound's end does not click.
    const size_t fade = std::min(total, size_t(sound.Rate / 200));
    for (size_t i = 0; i < fade; ++i) mix[total - 1 - i] *= double(i) / double(fade);
  }
  double peak = 0;
  for (double x : mix) peak = std::max(peak, std::abs(x));
  const double gain = peak > 0 ? std::pow(10.0, sound.PeakDb / 20.0) / peak : 0;
  std::vector<float> out(total);
  for (size_t n = 0; n < total; ++n) out[n] = float(mix[n] * gain);
  return out;
}

TWave SamplesToWave(const std::vector<float>& samples, int rate, int bits) {
  TWave wave;
  wave.Format = PcmFormat(uint32_t(rate), 1, uint16_t(bits));
  wave.Data.reserve(samples.size() * size_t(bits / 8));
  for (float s : samples) {
    const double x = std::clamp(double(s), -1.0, 1.0);
    if (bits == 8) {
      wave.Data.push_back(uint8_t(std::lround(128.0 + x * 127.0)));
    } else {
      const auto v = int16_t(std::lround(x * 32767.0));
      wave.Data.push_back(uint8_t(v & 0xFF));
      wave.Data.push_back(uint8_t((v >> 8) & 0xFF));
    }
  }
  return wave;
}

TWave MakeSound(const std::string& path, bool looped) {
  if (LowerCase(path).ends_with(".wav")) {
    try {
      return ReadRiffWave(ReadFileBytes(path));
    } catch (const EWaveError& e) {
      throw EDataError(path + ": " + e.what());
    }
  }
  const TSynthSound sound = ReadSynthDescription(path);
  return SamplesToWave(RenderSynth(sound, looped), sound.Rate, sound.Bits);
}
