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
