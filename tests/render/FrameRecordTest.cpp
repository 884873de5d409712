// A frame that repeats the last one is neither drawn nor presented; every other frame
// ends with exactly the picture its operations draw.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "media/DXDraws/Canvas.h"
#include "media/DXDraws/DXRender/DXRender.h"
#include "media/DXDraws/FrameRecord.h"
#include "media/DXDraws/Surface.h"

namespace {

constexpr int W = 64, H = 48;

struct TPictures {
  TDirectDrawSurface Boat{8, 6}, Flag{5, 5};
  TPictures() {
    for (int i = 0; i < 8 * 6; ++i) Boat.Pixels()[i] = uint16_t(0x0800 + i * 37);
    for (int i = 0; i < 5 * 5; ++i) Flag.Pixels()[i] = i % 3 ? uint16_t(0xF800 | i) : uint16_t(0xF81F);
    Flag.SetColorKey(0xF81F);
  }
};

// One frame's drawing, onto any surface.
using TFrame = std::function<void(TDirectDrawSurface&, TPictures&)>;

TFrame Scene(int boatX, bool flag, const char* text) {
  return [=](TDirectDrawSurface& s, TPictures& p) {
    s.Fill(0x0010);
    RenderDraw(s, boatX, 10, p.Boat, {0, 0, 8, 6}, false);
    if (flag) RenderRotate(s, 30, 20, 10, 10, p.Flag, {0, 0, 5, 5}, 0.5, 0.5, 40, true, 200);
    if (text) {
      s.Canvas().Font = {"Arial", 10, 0x00FFFFFF, false};
      s.Canvas().TextOut(2, 30, text);
    }
  };
}

TEST(FrameRecord, AFrameIsDrawnAndPresentedOnlyWhenItsOperationsDiffer) {
  struct TStep {
    const char* What;
    TFrame Frame;
    bool Changed;
  };
  const std::vector<TStep> steps = {
      {"first frame", Scene(10, true, "12"), true},
      {"the same again", Scene(10, true, "12"), false},
      {"the same once more", Scene(10, true, "12"), false},
      {"the boat moved", Scene(11, true, "12"), true},
      {"the same again", Scene(11, true, "12"), false},
      {"another number", Scene(11, true, "13"), true},
      {"one operation fewer at the end", Scene(11, true, nullptr), true},
      {"and back", Scene(11, true, "13"), true},
      {"one fewer in the middle", Scene(11, false, "13"), true},
      {"nothing drawn", [](TDirectDrawSurface&, TPictures&) {}, false},
      {"the same as before the empty frame", Scene(11, false, "13"), false},
      {"drawn over the last picture, no fill",
       [](TDirectDrawSurface& s, TPictures& p) { RenderDraw(s, 40, 5, p.Boat, {0, 0, 8, 6}, false); }, true},
      {"a full frame after it", Scene(11, false, "13"), true},
      {"the same again", Scene(11, false, "13"), false},
      {"a picture changed in place",
       [](TDirectDrawSurface& s, TPictures& p) {
         p.Boat.Pixels()[0] = 0x7777;
         Scene(11, false, "13")(s, p);
       },
       true},
      {"pixels written by hand after a repeat",
       [](TDirectDrawSurface& s, TPictures& p) {
         Scene(11, false, "13")(s, p);
         s.Pixels()[5] = 0x1234;
       },
       true},
      {"the repeat that wipes them", Scene(11, false, "13"), true},
      {"the same again", Scene(11, false, "13"), false},
      {"read in the middle of a repeat",
       [](TDirectDrawSurface& s, TPictures& p) {
         s.Fill(0x0010);
         RenderDraw(s, 11, 10, p.Boat, {0, 0, 8, 6}, false);
         const TDirectDrawSurface& read = s;
         EXPECT_EQ(read.Pixels()[10 * W + 11], p.Boat.Bits()[0]) << "held back, yet read";
         s.Canvas().Font = {"Arial", 10, 0x00FFFFFF, false};
         s.Canvas().TextOut(2, 30, "13");
       },
       true},
  };
  TPictures pictures;
  TDirectDrawSurface recorded(W, H), plain(W, H);
  recorded.StartRecording();
  for (const TStep& step : steps) {
    step.Frame(recorded, pictures);
    step.Frame(plain, pictures);
    EXPECT_EQ(recorded.Record()->EndFrame(), step.Changed) << step.What;
    const TDirectDrawSurface& a = recorded;
    const TDirectDrawSurface& b = plain;
    ASSERT_TRUE(std::equal(a.Pixels(), a.Pixels() + W * H, b.Pixels())) << step.What;
  }
}

}  // namespace
