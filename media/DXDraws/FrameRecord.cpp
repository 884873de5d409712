#include "media/DXDraws/FrameRecord.h"

#include <utility>

bool TFrameRecord::Hold(TDrawOp op) {
  const size_t at = FNow.size();
  if (at == 0)
    // Only a frame that starts from a filled surface draws the same picture from the
    // same list; one that draws over the last picture depends on it.
    FMatching = FLastShown && std::holds_alternative<TFillOp>(op) && !FLast.empty() && FLast[0] == op;
  else if (FMatching)
    FMatching = at < FLast.size() && FLast[at] == op;
  FNow.push_back(std::move(op));
  if (FMatching) {
    FHeld = FNow.size();
    return true;
  }
  Flush();
  ++FDrawn;
  return false;
}

void TFrameRecord::DrawHeld() {
  // Drawing them reads the pixels, which must not hold anything back again.
  const size_t held = std::exchange(FHeld, 0);
  FMatching = false;
  FDrawn += held;
  for (size_t i = 0; i < held; ++i) std::visit([&](const auto& op) { DrawNow(FSurface, op); }, FNow[i]);
}

void TFrameRecord::Touch() {
  Flush();
  FMatching = false;
  FTouched = true;
  FLastShown = false;
}

bool TFrameRecord::EndFrame() {
  bool changed = true;
  if (FMatching && FNow.size() == FLast.size()) {
    FHeld = 0;
    changed = false;
  } else if (FNow.empty() && !FTouched) {
    changed = false;  // nothing drawn since the last frame
  } else {
    Flush();
  }
  if (changed) {
    FLastShown = !FTouched && !FNow.empty() && std::holds_alternative<TFillOp>(FNow[0]);
    std::swap(FLast, FNow);
  }
  FNow.clear();
  FMatching = false;
  FTouched = false;
  FDrawnBefore = std::exchange(FDrawn, 0);
  return changed;
}
