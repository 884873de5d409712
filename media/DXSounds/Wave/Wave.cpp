#include "media/DXSounds/Wave/Wave.h"

#include <cstring>

#include "media/Platform/Audio.h"

namespace {

[[noreturn]] void Invalid() { throw EWaveError("Wave is invalid"); }

uint32_t Get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutId(std::vector<uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
}

}  // namespace

TWaveFormat PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
  TWaveFormat f;
  f.FormatTag = 1;
  f.Channels = channels;
  f.SamplesPerSec = samplesPerSec;
  f.BitsPerSample = bitsPerSample;
  f.BlockAlign = uint16_t(channels * bitsPerSample / 8);
  f.AvgBytesPerSec = samplesPerSec * f.BlockAlign;
  return f;
}

TWave ReadRiffWave(std::span<const uint8_t> bytes) {
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    Invalid();
  // Writers disagree about the RIFF size; the chunks themselves are checked instead.
  const uint8_t* p = bytes.data() + 12;
  const uint8_t* end = bytes.data() + bytes.size();
  const uint8_t* fmt = nullptr;
  const uint8_t* data = nullptr;
  size_t dataSize = 0;
  while (end - p >= 8) {
    const uint32_t size = Get32(p + 4);
    const uint8_t* body = p + 8;
    if (size > size_t(end - body)) Invalid();
    if (std::memcmp(p, "fmt ", 4) == 0) {
      if (size < 16) Invalid();
      fmt = body;
    } else if (std::memcmp(p, "data", 4) == 0 && !data) {
      data = body;
      dataSize = size;
    }
    p = body + size;
    if ((size & 1) && p < end) ++p;  // chunks are word-aligned
  }
  if (!fmt || !data) Invalid();

  TWave wave;
  TWaveFormat& f = wave.Format;
  f.FormatTag = Get16(fmt);
  f.Channels = Get16(fmt + 2);
  f.SamplesPerSec = Get32(fmt + 4);
  f.AvgBytesPerSec = Get32(fmt + 8);
  f.BlockAlign = Get16(fmt + 12);
  f.BitsPerSample = Get16(fmt + 14);
  if (f.FormatTag != 1 || (f.Channels != 1 && f.Channels != 2) ||
      (f.BitsPerSample != 8 && f.BitsPerSample != 16) ||
      f.SamplesPerSec < uint32_t(Platform::Audio::MinSourceRate) ||
      f.SamplesPerSec > uint32_t(Platform::Audio::MaxSourceRate))
    Invalid();
  // Derived fields are recomputed rather than trusted.
  f = PcmFormat(f.SamplesPerSec, f.Channels, f.BitsPerSample);
  dataSize -= dataSize % f.BlockAlign;
  wave.Data.assign(data, data + dataSize);
  return wave;
}

std::vector<uint8_t> WriteRiffWave(const TWave& wave) {
  const TWaveFormat& f = wave.Format;
  const uint32_t dataSize = uint32_t(wave.Data.size());
  const uint32_t pad = dataSize & 1;
  std::vector<uint8_t> out;
  out.reserve(44 + dataSize + pad);
  PutId(out, "RIFF");
  Put32(out, 4 + (8 + 16) + (8 + dataSize + pad));
  PutId(out, "WAVE");
  PutId(out, "fmt ");
  Put32(out, 16);
  Put16(out, f.FormatTag);
  Put16(out, f.Channels);
  Put32(out, f.SamplesPerSec);
  Put32(out, f.AvgBytesPerSec);
  Put16(out, f.BlockAlign);
  Put16(out, f.BitsPerSample);
  PutId(out, "data");
  Put32(out, dataSize);
  out.insert(out.end(), wave.Data.begin(), wave.Data.end());
  if (pad) out.push_back(0);
  return out;
}
