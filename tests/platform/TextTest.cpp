#include <gtest/gtest.h>

#include "media/Platform/Text.h"

using namespace Platform;

TEST(Text, RussianRoundTripsThroughUtf8) {
  const std::string cp1251 = "\xD3\xF0\xEE\xE2\xE5\xED\xFC \xB8\xA8 No\xB9 5";  // "Уровень ёЁ No№ 5"
  const std::string utf8 = Cp1251ToUtf8(cp1251);
  EXPECT_EQ(utf8, "\u0423\u0440\u043e\u0432\u0435\u043d\u044c \u0451\u0401 No\u2116 5");
  EXPECT_EQ(Utf8ToCp1251(utf8), cp1251);
}

TEST(Text, CharactersTheCodePageLacksAndBrokenBytesAreDropped) {
  EXPECT_EQ(Utf8ToCp1251("a\u65e5b"), "ab");
  EXPECT_EQ(Utf8ToCp1251("a\xC3"), "a");            // cut short
  EXPECT_EQ(Utf8ToCp1251("a\xD0\x41z"), "aAz");     // bad continuation byte
  EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "");
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\uFFFD");        // the unused byte
}
