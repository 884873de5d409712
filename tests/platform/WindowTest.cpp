#include <gtest/gtest.h>

#include <vector>

#include "media/Platform/Window.h"

TEST(Window, FixedClientAreaWithItsCaption) {
  Platform::TWindow window("Sprayrush", 800, 600);
  EXPECT_EQ(window.ClientWidth(), 800);
  EXPECT_EQ(window.ClientHeight(), 600);
  EXPECT_EQ(window.Caption(), "Sprayrush");
  EXPECT_FALSE(window.Resizable());
  EXPECT_FALSE(window.Visible());  // until the message loop shows it
  std::vector<uint16_t> picture(800 * 600, 0xF800);
  window.Present(picture.data(), 800, 800, 600);
  window.Present(nullptr, 800, 800, 600);
}

TEST(Window, CursorCounterShowsFromZeroUp) {
  Platform::TWindow window("Sprayrush", 64, 64);
  EXPECT_EQ(window.ShowCursor(false), -1);
  EXPECT_EQ(window.ShowCursor(false), -2);
  EXPECT_EQ(window.ShowCursor(true), -1);
  EXPECT_EQ(window.ShowCursor(true), 0);
  EXPECT_EQ(window.ShowCursor(true), 1);
}

// A still picture is sent once; any pixel inside it that changes is sent, the padding
// at the end of its rows is not part of it.
TEST(Window, PresentsAPictureOnlyWhenItDiffersFromTheOneOnScreen) {
  Platform::TWindow window("Sprayrush", 800, 600);
  constexpr int Pitch = 804;
  std::vector<uint16_t> picture(Pitch * 600, 0x1234);
  struct TStep {
    const char* What;
    int Index;  // pixel to change, -1 none
    bool Presented;
  };
  const TStep steps[] = {
      {"first picture", -1, true},
      {"same again", -1, false},
      {"last pixel", Pitch * 599 + 799, true},
      {"same again", -1, false},
      {"first pixel", 0, true},
      {"row padding only", Pitch * 300 + 802, false},
      {"a middle pixel", Pitch * 300 + 400, true},
  };
  uint64_t count = window.PresentCount();
  for (const TStep& step : steps) {
    if (step.Index >= 0) picture[step.Index] ^= 0x0021;
    window.Present(picture.data(), Pitch, 800, 600);
    EXPECT_EQ(window.PresentCount() - count, step.Presented ? 1u : 0u) << step.What;
    count = window.PresentCount();
  }
}

// Whatever spoils the picture on screen makes the same picture go out once more.
TEST(Window, AnUnchangedPictureIsPaintedAgainWhenTheWindowLostIt) {
  Platform::TWindow window("Sprayrush", 800, 600);
  std::vector<uint16_t> picture(800 * 600, 0x07E0);
  auto presents = [&] {
    const uint64_t before = window.PresentCount();
    window.Present(picture.data(), 800, 800, 600);
    window.Present(picture.data(), 800, 800, 600);
    return window.PresentCount() - before;
  };
  ASSERT_EQ(presents(), 1u);
  window.Invalidate();
  EXPECT_EQ(presents(), 1u) << "invalidated";
  window.Show();
  EXPECT_EQ(presents(), 1u) << "shown";
  ASSERT_TRUE(window.SetFullScreen(true));
  EXPECT_EQ(presents(), 1u) << "full screen";
  ASSERT_TRUE(window.SetFullScreen(false));
  EXPECT_EQ(presents(), 1u) << "windowed";
  EXPECT_EQ(presents(), 0u) << "nothing happened";
}
