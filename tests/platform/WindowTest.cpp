#include <gtest/gtest.h>

#include <algorithm>
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

// Only the parts that changed are sent; whatever they are, the window then shows the
// whole new picture.
TEST(Window, APartlyChangedPictureArrivesWhole) {
  Platform::TWindow window("Sprayrush", 800, 600);
  constexpr int Pitch = 808;
  std::vector<uint16_t> picture(Pitch * 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < Pitch; ++x) picture[size_t(y) * Pitch + x] = uint16_t(x * 7 + y * 13);
  struct TChange {
    const char* What;
    int Left, Top, Right, Bottom;  // rectangles of changed pixels, two at most
    int Left2 = 0, Top2 = 0, Right2 = 0, Bottom2 = 0;
  };
  const TChange changes[] = {
      {"the river", 177, 0, 609, 600},
      {"a corner pixel", 799, 599, 800, 600},
      {"the first pixel", 0, 0, 1, 1},
      {"a number on the left and the needle on the right", 28, 263, 95, 285, 700, 540, 790, 600},
      {"the river and a clock digit", 177, 0, 609, 600, 64, 263, 90, 285},
      {"one band edge", 31, 100, 33, 101},
      {"a whole row", 0, 300, 800, 301},
  };
  std::vector<uint16_t> shown;
  window.Present(picture.data(), Pitch, 800, 600);
  uint16_t step = 1;
  for (const TChange& c : changes) {
    auto change = [&](int l, int t, int r, int b) {
      for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) picture[size_t(y) * Pitch + x] += step;
    };
    change(c.Left, c.Top, c.Right, c.Bottom);
    change(c.Left2, c.Top2, c.Right2, c.Bottom2);
    ++step;
    const uint64_t before = window.PresentCount();
    window.Present(picture.data(), Pitch, 800, 600);
    EXPECT_EQ(window.PresentCount() - before, 1u) << c.What;
    ASSERT_TRUE(window.ReadBack(shown)) << c.What;
    for (int y = 0; y < 600; ++y)
      ASSERT_TRUE(std::equal(shown.begin() + y * 800, shown.begin() + (y + 1) * 800,
                             picture.begin() + size_t(y) * Pitch))
          << c.What << ", row " << y;
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
