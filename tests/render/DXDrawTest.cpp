#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/DXDraws/DXDraw.h"
#include "media/Platform/Window.h"

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

// With a real window (SDL's dummy driver under the tests).
class TRecorder : public TDXDrawListener {
 public:
  TRecorder(std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name)) {}
  void DXDrawNotify(TDXDraw& sender, TDXDrawNotifyType type) override {
    static const char* const names[] = {"Destroying", "Initialize", "Finalize", "Restore"};
    std::string entry = Name + " " + names[int(type)];
    // Listeners take the back surface on Initialize and must still reach it on Finalize.
    if (type == TDXDrawNotifyType::Initialize || type == TDXDrawNotifyType::Finalize)
      entry += " " + std::to_string(sender.Surface().Width()) + (sender.CanDraw() ? " can" : " cannot");
    Log.push_back(entry);
  }
  std::vector<std::string>& Log;
  std::string Name;
};

TEST(DXDraw, LifeCycleTellsListenersThenRaisesEvents) {
  Platform::TWindow window("test", 800, 600);
  std::vector<std::string> log;
  TRecorder a(log, "A"), b(log, "B"), late(log, "Late");
  {
    TDXDraw draw(&window);
    draw.RegisterListener(&a);
    draw.RegisterListener(&b);
    draw.RegisterListener(&a);  // once only
    draw.OnInitialize = [&] { log.push_back("OnInitialize"); };
    draw.OnFinalize = [&] { log.push_back("OnFinalize"); };

    draw.Initialize();
    EXPECT_TRUE(draw.CanDraw());
    EXPECT_EQ(draw.Surface().Width(), 800);
    EXPECT_EQ(draw.Surface().Height(), 600);
    draw.Surface().Fill(ColorToSurface(0x0000FF));
    draw.Flip();
    draw.Initialize();  // again: finalises first
    draw.RegisterListener(&late);  // joins an initialised surface
    draw.UnregisterListener(&b);
    draw.Finalize();
    EXPECT_FALSE(draw.CanDraw());
    draw.Finalize();  // nothing more to do
    draw.Initialize();
    log.push_back("destroy");
  }
  const std::vector<std::string> expected = {
      "A Initialize 800 can", "B Initialize 800 can", "OnInitialize",
      "A Finalize 800 cannot", "B Finalize 800 cannot", "OnFinalize",
      "A Initialize 800 can", "B Initialize 800 can", "OnInitialize",
      "Late Initialize 800 can",
      "A Finalize 800 cannot", "Late Finalize 800 cannot", "OnFinalize",
      "A Initialize 800 can", "Late Initialize 800 can", "OnInitialize",
      // Going away, the owner's handlers are not called any more.
      "destroy", "A Finalize 800 cannot", "Late Finalize 800 cannot", "A Destroying",
      "Late Destroying"};
  EXPECT_EQ(log, expected);
}

TEST(DXDraw, FullScreenSwitchesTheWindowAndReportsAModeItCannotShow) {
  Platform::TWindow window("test", 800, 600);
  TDXDraw draw(&window);
  int initialized = 0;
  draw.OnInitialize = [&] { ++initialized; };
  draw.Options = OptionBit(doFullScreen) | OptionBit(doAllowReboot) | OptionBit(doHardware);
  draw.Initialize();
  EXPECT_TRUE(window.IsFullScreen());
  EXPECT_EQ(draw.NowOptions(), OptionBit(doFullScreen) | OptionBit(doAllowReboot));
  draw.Options &= ~OptionBit(doFullScreen);
  EXPECT_EQ(draw.NowOptions(), OptionBit(doFullScreen) | OptionBit(doAllowReboot));  // until re-initialised
  draw.Initialize();
  EXPECT_FALSE(window.IsFullScreen());
  EXPECT_EQ(draw.NowOptions(), 0u);
  EXPECT_EQ(initialized, 2);

  // The back surface is 16-bit only; another depth is a mode that cannot be set.
  draw.Options |= OptionBit(doFullScreen);
  draw.Display.BitCount = 8;
  try {
    draw.Initialize();
    FAIL() << "no error";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Display mode cannot be changed (800x600 8bit)");
  }
  EXPECT_FALSE(draw.Initialized());
  EXPECT_EQ(initialized, 2);
}

// The menu at rest redraws the same picture every frame; only a change or a mode switch
// reaches the screen.
TEST(DXDraw, FlipSendsAStillPictureOnceAndAgainAfterAModeSwitch) {
  Platform::TWindow window("test", 800, 600);
  TDXDraw draw(&window);
  draw.Initialize();
  auto frame = [&](uint16_t colour) {
    const uint64_t before = window.PresentCount();
    draw.Surface().Fill(colour);
    draw.Flip();
    return window.PresentCount() - before;
  };
  EXPECT_EQ(frame(0), 1u);
  EXPECT_EQ(frame(0), 0u);
  EXPECT_EQ(frame(0x001F), 1u);
  draw.Options |= OptionBit(doFullScreen);
  draw.Initialize();
  EXPECT_EQ(frame(0x001F), 1u) << "full screen";
  draw.Options &= ~OptionBit(doFullScreen);
  draw.Initialize();
  EXPECT_EQ(frame(0x001F), 1u) << "windowed";
  EXPECT_EQ(frame(0x001F), 0u);
}

}  // namespace
