#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>

#include "game/replay/Decimal.h"

TEST(FixedSixDecimals, RoundsExactlyAndTiesToEven) {
  const struct {
    double Value;
    const char* Text;
  } cases[] = {
      {0.0, "0.000000"},         {1.0, "1.000000"},          {-2.5, "-2.500000"},
      {0.0078125, "0.007812"},   {0.0234375, "0.023438"},    {-0.0078125, "-0.007812"},
      {5e-7, "0.000000"},        {5.000000000000001e-7, "0.000001"}, {-1e-9, "-0.000000"},
      {123.4567895, "123.456789"}, {0.1, "0.100000"},        {4503599627370495.5, "4503599627370495.500000"},
      {1e22, "10000000000000000000000.000000"},              {4.9e-324, "0.000000"},
      {INFINITY, "inf"},         {-INFINITY, "-inf"},        {NAN, "nan"},
  };
  for (const auto& c : cases) EXPECT_EQ(FixedSixDecimals(c.Value), c.Text) << c.Text;
}

#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
// Where the standard library has its own exact conversion, both agree on every kind of
// value the simulation meets: positions, speeds, fractions of 1/2^k, huge and tiny ones.
TEST(FixedSixDecimals, AgreesWithTheStandardLibrary) {
  std::mt19937_64 random(7);
  auto standard = [](double v) {
    char text[400];
    return std::string(text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 6).ptr);
  };
  for (int i = 0; i < 200000; ++i) {
    double v = 0;
    switch (i % 4) {
      case 0: v = std::uniform_real_distribution<double>(-1000, 1000)(random); break;
      case 1: v = double(int64_t(random() % 2000000) - 1000000) / double(1 << (random() % 24)); break;
      case 2: {
        const uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) v = 1.5;
        break;
      }
      default: v = std::ldexp(double(random() % 1000), -int(random() % 40)) * ((random() & 1) ? 1 : -1); break;
    }
    ASSERT_EQ(FixedSixDecimals(v), standard(v)) << std::hexfloat << v;
  }
}
#endif
