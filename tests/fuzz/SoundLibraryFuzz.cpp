// Feeds arbitrary bytes to the sound library reader (and, for input that starts like one,
// to the RIFF wave reader alone). A malformed file may only end in the readers' own
// errors; anything else (a crash, another exception, a sanitizer report, a hang) is a
// finding. Every wave that loads is converted to the output format, as initialising
// the item would.
#include <cstdint>
#include <cstring>
#include <span>

#include "media/DXClass/ComponentStream.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/Audio.h"

namespace {

void Convert(const TWave& wave) {
  const TWaveFormat& f = wave.Format;
  (void)Platform::Audio::ConvertToOutput({int(f.SamplesPerSec), f.Channels, f.BitsPerSample},
                                         wave.Data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span bytes(data, size);
  if (size >= 4 && std::memcmp(data, "RIFF", 4) == 0) {
    try {
      Convert(ReadRiffWave(bytes));
    } catch (const EWaveError&) {
    }
    return 0;
  }
  TWaveCollection lib;
  try {
    lib.LoadFromBytes(bytes);
  } catch (const EStreamError&) {
    return 0;
  } catch (const EWaveError&) {
    return 0;
  }
  for (int i = 0; i < lib.Count(); ++i) {
    TWaveCollectionItem& item = lib.Items(i);
    (void)lib.Find(item.Name());
    if (!item.Wave.Empty()) Convert(item.Wave);
    item.Play(false);  // not initialised without an output: must do nothing
    item.Stop();
  }
  return 0;
}
