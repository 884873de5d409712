// The table page as a browser shows it: headless Chromium, its picture and its DOM.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "game/online/SubmitResult.h"
#include "http/HttpClient.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;

constexpr const char* Browser = "/usr/bin/chromium";

std::vector<std::string> BrowserArgs(const std::filesystem::path& profile) {
  return {Browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
          "--disable-background-networking", "--disable-component-update", "--disable-sync",
          "--user-data-dir=" + profile.string(), "--window-size=900,700"};
}

struct TRgb {
  int R, G, B;
};

// Pixels within a small distance of the colour.
size_t CountNear(const std::vector<uint8_t>& rgb, TRgb colour, int tolerance = 24) {
  size_t count = 0;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3)
    if (std::abs(rgb[i] - colour.R) <= tolerance && std::abs(rgb[i + 1] - colour.G) <= tolerance &&
        std::abs(rgb[i + 2] - colour.B) <= tolerance)
      ++count;
  return count;
}

std::vector<uint8_t> ReadPng(const std::filesystem::path& path, size_t& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  pixels = size_t(image.width) * image.height;
  return rgb;
}

TEST(TablePageInBrowser, ShowsTheGamesColoursAndEscapedNames) {
  ASSERT_TRUE(std::filesystem::exists(Browser)) << "chromium is missing: run tools/setup.sh";
  TTempDir dir;
  TServer server(dir.Path / "scores.db");
  THttpClient client;
  const auto send = [&](const std::string& name, int32_t score) {
    client.Get(SubmitUrl(server.Address(), EncodeBits(ToBitString(ResultRecord(name, score, "_______")))));
  };
  send("<b>x</b>", 5000);
  send("\xC8\xE2\xE0\xED", 4000);
  send("a&b\"c'", 3000);

  const auto shot = dir.Path / "page.png";
  {
    auto args = BrowserArgs(dir.Path / "profile1");
    args.push_back("--screenshot=" + shot.string());
    args.push_back(server.PageUrl());
    TChild browser(args, true);
    browser.ReadAll(120000);
    EXPECT_EQ(browser.Wait(120000), 0);
  }
  std::string dom;
  {
    auto args = BrowserArgs(dir.Path / "profile2");
    args.push_back("--dump-dom");
    args.push_back(server.PageUrl());
    TChild browser(args, true);
    dom = browser.ReadAll(120000);
    EXPECT_EQ(browser.Wait(120000), 0);
  }
  EXPECT_EQ(server.Child.Stop(SIGTERM), 0);

  size_t pixels = 0;
  const auto rgb = ReadPng(shot, pixels);
  ASSERT_FALSE(rgb.empty()) << "no screenshot";
  // Mostly the deep blue of the menus, with the orange head row and the teal rim.
  EXPECT_GT(CountNear(rgb, {0x0F, 0x3A, 0x74}, 40), pixels / 2);
  EXPECT_GT(CountNear(rgb, {0xFF, 0x8C, 0x1A}), 5000u);
  EXPECT_GT(CountNear(rgb, {0x3D, 0xDC, 0xFF}), 1000u);
  EXPECT_GT(CountNear(rgb, {0xFF, 0xD2, 0x3F}), 500u);

  // The names are text in their cells, not markup.
  EXPECT_NE(dom.find("<td class=\"name\">&lt;b&gt;x&lt;/b&gt;</td>"), std::string::npos) << dom;
  EXPECT_NE(dom.find("<td class=\"name\">\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD</td>"), std::string::npos);
  EXPECT_NE(dom.find("<td class=\"name\">a&amp;b\"c'</td>"), std::string::npos);
  EXPECT_EQ(dom.find("<b>"), std::string::npos);
  EXPECT_LT(dom.find(">5000<"), dom.find(">4000<"));
  EXPECT_LT(dom.find(">4000<"), dom.find(">3000<"));
}

}  // namespace
