#pragma once
// The small synthesiser that makes every sound effect from a short text description.
//
// A description is one "sound" line, then "tone" and "noise" lines (one voice each) and
// optionally an "echo" line; see assets/README.md for every field.
#include <cstdint>
#include <string>
#include <vector>

#include "media/DXSounds/Wave/Wave.h"
#include "tools/sprdata/Manifest.h"

struct TSynthVoice {
  enum class TWaveform { Sine, Triangle, Square, Saw, Pulse, Noise, Crackle };
  TWaveform Wave = TWaveform::Sine;
  double Freq = 440, To = 0, Glide = 0;  // To 0 = no glide; Glide 0 = over the whole note
  double Start = 0, Dur = -1;            // Dur < 0 = to the end of the sound
  double Every = 0;                      // retrigger period, 0 = once
  double Vol = 1, Attack = 0.002, Decay = 0, Release = 0.005;
  double Duty = 0.5;
  double VibRate = 0, VibDepth = 0;      // Hz, semitones
  double TremRate = 0, TremDepth = 0;    // Hz, 0..1
  double FmRatio = 0, FmIndex = 0, FmDecay = 0;
  double Lp = 0, LpTo = 0, Hp = 0, HpTo = 0, Bp = 0, BpTo = 0, Q = 0.707;
  double Density = 200;                  // crackle: clicks a second
  uint32_t Seed = 1;
  TSourceLine Line;                      // for errors
};

struct TSynthSound {
  double Length = 0;  // seconds; for a looped sound, one period of the loop
  int Rate = 22050;
  int Bits = 16;
  double PeakDb = -1;
  double Drive = 0;  // soft saturation, 0 = clean
  double EchoDelay = 0, EchoFeedback = 0, EchoMix = 0;
  std::vector<TSynthVoice> Voices;
};

// Throws EDataError naming the description's file and line.
TSynthSound ReadSynthDescription(const std::string& path);

// Renders the sound to mono samples in -1..1, peak-normalised. A looped sound is
// rendered as one period of an endless signal: frequencies are rounded to whole cycles
// of the loop, notes wrap around its end, so the seam is as smooth as any other sample.
std::vector<float> RenderSynth(const TSynthSound& sound, bool looped);

TWave SamplesToWave(const std::vector<float>& samples, int rate, int bits);

// A sound source: a synthesiser description, or a recorded ".wav" taken as it is.
TWave MakeSound(const std::string& path, bool looped);
