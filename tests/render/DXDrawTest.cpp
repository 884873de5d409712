#include <gtest/gtest.h>

#include "media/DXDraws/DXDraw.h"

namespace {

TDXDrawOptions Set(std::initializer_list<TDXDrawOption> options) {
  TDXDrawOptions r = 0;
  for (TDXDrawOption o : options) r |= OptionBit(o);
  return r;
}

TEST(DXDraw, EffectiveOptionsDropWhatTheirPrerequisitesLack) {
  struct TCase {
    TDXDrawOptions Options, Effective;
  };
  const TCase cases[] = {
      // The game's own two sets.
      {Set({doAllowReboot, doHardware, doSelectDriver}), 0},
      {Set({doFullScreen, doAllowReboot, doHardware, doSelectDriver}),
       Set({doFullScreen, doAllowReboot})},
      // Full-screen-only options.
      {Set({doNoWindowChange, doAllowPalette256, doFlip, doWaitVBlank, doStretch, doCenter}),
       Set({doWaitVBlank, doStretch, doCenter})},
      {Set({doFullScreen, doNoWindowChange, doAllowPalette256, doFlip}),
       Set({doFullScreen, doNoWindowChange, doAllowPalette256, doFlip})},
      // System memory rules out flipping.
      {Set({doFullScreen, doFlip, doSystemMemory}), Set({doFullScreen, doSystemMemory})},
      // 3D-only options, and hardware never.
      {Set({doDirectX7Mode, doRetainedMode, doZBuffer}), 0},
      {Set({do3D, doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver, doZBuffer}),
       Set({do3D, doDirectX7Mode, doRetainedMode, doSelectDriver, doZBuffer})},
  };
  for (const TCase& c : cases) {
    TDXDraw draw(nullptr);
    draw.Options = c.Options;
    EXPECT_EQ(draw.NowOptions(), c.Effective) << std::hex << c.Options;
  }
}

TEST(DXDraw, WithoutWindowItCannotInitializeOrDraw) {
  TDXDraw draw(nullptr);
  int events = 0;
  draw.OnInitialize = [&] { ++events; };
  draw.OnFinalize = [&] { ++events; };
  try {
    draw.Initialize();
    FAIL() << "no error";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Form not found");
  }
  EXPECT_FALSE(draw.Initialized());
  EXPECT_FALSE(draw.CanDraw());
  EXPECT_THROW(draw.Surface(), EDXDrawError);
  draw.Flip();
  draw.Finalize();
  EXPECT_EQ(events, 0);
}

}  // namespace
