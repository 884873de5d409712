// Feeds arbitrary bytes to the picture library reader. A malformed file may only end in
// the reader's own errors; anything else (a crash, another exception, a sanitizer
// report, a hang) is a finding. What loads is initialised and drawn, so forged pattern
// geometry reaches the cutting and drawing code too.
#include <algorithm>
#include <cstdint>
#include <span>

#include "media/DXClass/ComponentStream.h"
#include "media/DXDraws/PictureCollection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPictureCollection lib;
  try {
    lib.LoadFromBytes(std::span(data, size));
  } catch (const EStreamError&) {
    return 0;
  } catch (const EDIBError&) {
    return 0;
  }
  TDirectDrawSurface dest(64, 48);
  for (int i = 0; i < lib.Count(); ++i) {
    TPictureCollectionItem& item = lib.Items(i);
    item.Initialize();
    const int last = std::min(item.PatternCount(), 3);
    for (int p = -1; p <= last; ++p) {
      item.Draw(dest, 3, -2, p);
      item.StretchDraw(dest, {-5, 3, 40, 60}, p);
      item.DrawAlpha(dest, {10, 10, 30, 20}, p, 100);
      item.DrawRotateAlpha(dest, 20, 20, std::min(item.Width(), 200), std::min(item.Height(), 200),
                           p, 0.5, 0.25, 37, 200);
    }
    (void)lib.Find(item.Name());
  }
  return 0;
}
