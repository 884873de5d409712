#include <gtest/gtest.h>
#include <xmp.h>

#include <stdexcept>
#include <string>

#include "tools/xmcompose/Score.h"

namespace {

const std::string Header =
    "speed 6\nbpm 125\nrows 16\n"
    "instrument lead wave=square env=pluck\n"
    "instrument kick drum=kick\n"
    "channels lead:lead kick:kick\n";

std::string ErrorOf(const std::string& text) {
  try {
    xm::ReadScore(text, "tune.txt");
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(Score, WrittenModulePlaysItsOrdersInLibxmp) {
  xm::TModule m = xm::ReadScore(Header +
                                    "def beat (x:4)x4\n"
                                    "pattern a\n  lead: C5:4 G#4:4 = .:7\n  kick: $beat\n"
                                    "pattern b\n  lead: (C5 E5 G5 E5)x4\n"
                                    "order a b a b\n",
                                "tune.txt");
  ASSERT_EQ(m.Orders.size(), 4u);
  EXPECT_EQ(m.Patterns[0].Cells[0].Note, 5 * 12 + 1);       // C5
  EXPECT_EQ(m.Patterns[0].Cells[4 * 2].Note, 4 * 12 + 9);   // G#4, not a comment
  EXPECT_EQ(m.Patterns[0].Cells[8 * 2].Note, xm::KeyOff);
  EXPECT_EQ(m.Patterns[0].Cells[4 * 2 + 1].Note, 49);       // drum hit

  std::vector<uint8_t> bytes = xm::WriteModule(m);
  xmp_context ctx = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
  xmp_module_info info;
  xmp_get_module_info(ctx, &info);
  EXPECT_EQ(info.mod->len, 4);
  EXPECT_EQ(info.mod->chn, 2);
  EXPECT_EQ(info.mod->ins, 2);
  // 4 orders of 16 rows at 6 ticks, 125 bpm: 0.12 s a row.
  EXPECT_NEAR(info.seq_data[0].duration, 4 * 16 * 120, 50);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
}

TEST(Score, MistakesNameTheLine) {
  struct {
    std::string Text, Expected;
  } cases[] = {
      {Header + "pattern a\n  lead: C5:8\norder a\n", "tune.txt:8: channel lead fills 8 of 16 rows"},
      {Header + "pattern a\n  lead: C5:17\norder a\n", "tune.txt:8: channel lead runs past row 16"},
      {Header + "pattern a\n  lead: H5:16\norder a\n", "tune.txt:8: bad note: H5:16"},
      {Header + "pattern a\n  bass: C5:16\norder a\n", "tune.txt:8: unknown channel: bass"},
      {Header + "pattern a\norder a c\n", "tune.txt:8: unknown pattern in order: c"},
      {Header + "instrument pad wave=square colour=red\n", "tune.txt:7: unknown instrument setting: colour"},
      {Header + "pattern a\n  lead: ($riff)x2\norder a\n", "tune.txt:8: unknown macro: $riff"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.Text), c.Expected) << c.Text;
}

}  // namespace
