#pragma once
// A wave as the sound library stores it: a RIFF "WAVE" file with its format and samples.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

// Raised with "Wave is invalid" for anything that is not a playable RIFF wave.
class EWaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The published wave format header ("fmt " chunk); only plain PCM is played.
struct TWaveFormat {
  uint16_t FormatTag = 1;  // 1 = PCM
  uint16_t Channels = 1;
  uint32_t SamplesPerSec = 22050;
  uint32_t AvgBytesPerSec = 22050;
  uint16_t BlockAlign = 1;
  uint16_t BitsPerSample = 8;
};

struct TWave {
  TWaveFormat Format;
  std::vector<uint8_t> Data;  // the "data" chunk, whole frames only
  bool Empty() const { return Data.empty(); }
};

// Reads a RIFF file: PCM, 8 or 16 bits, mono or stereo, a rate the output can convert.
// Throws EWaveError; never reads outside the span.
TWave ReadRiffWave(std::span<const uint8_t> bytes);

// Writes the RIFF file ReadRiffWave reads back: "fmt " then "data".
std::vector<uint8_t> WriteRiffWave(const TWave& wave);

// A PCM format with the derived fields filled in.
TWaveFormat PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample);
