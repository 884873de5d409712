// The manifests are edited by hand: every mistake must name its file and line.
#include <gtest/gtest.h>

#include "tests/data/DataTestUtil.h"
#include "tools/sprdata/Manifest.h"

namespace {

TEST(PictureManifest, ReadsFieldsDefaultsAndComments) {
  TScratchDir dir;
  dir.Write("a.svg", "");
  dir.Write("b.svg", "");
  const std::string manifest = dir.Write("manifest.txt",
      "# menu pictures\n"
      "\n"
      "MMBackground a.svg key=none bits=16   # backdrop\n"
      "CarAnim      b.svg pattern=84x96 skip=2x0 key=#00FF00\n"
      "Plain        a.svg\n");
  const auto entries = ReadPictureManifest(manifest);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_FALSE(entries[0].Key.has_value());
  EXPECT_EQ(entries[0].Bits, 16);
  EXPECT_EQ(entries[1].PatternWidth, 84);
  EXPECT_EQ(entries[1].PatternHeight, 96);
  EXPECT_EQ(entries[1].SkipWidth, 2);
  EXPECT_EQ(*entries[1].Key, 0x00FF00u);
  EXPECT_EQ(entries[1].Line, 4);
  EXPECT_EQ(entries[2].Source, dir / "a.svg");
  EXPECT_EQ(*entries[2].Key, 0xFF00FFu);  // the default key
  EXPECT_EQ(entries[2].Bits, 24);
}

TEST(PictureManifest, MistakesNameFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"Boat a.svg colour=red", "unknown field 'colour'"},
      {"Boat a.svg pattern=84", "pattern: '84' is not WxH"},
      {"Boat a.svg pattern=0x10", "pattern: size must not be 0"},
      {"Boat a.svg key=#FF00F", "key: '#FF00F' is neither #RRGGBB nor none"},
      {"Boat a.svg bits=12", "bits: 12 is not one of 8, 16, 24, 32"},
      {"Boat missing.svg", "source 'missing.svg' not found"},
      {"Boat", "expected: <Name> <source>"},
      {"Boat a.svg\nboat a.svg", "'boat' is listed twice"},
  };
  for (const auto& [text, message] : cases) {
    TScratchDir dir;
    dir.Write("a.svg", "");
    const std::string manifest = dir.Write("manifest.txt", std::string("# pictures\n") + text + "\n");
    const int line = std::string(text).find('\n') != std::string::npos ? 3 : 2;
    try {
      ReadPictureManifest(manifest);
      ADD_FAILURE() << text << " was accepted";
    } catch (const EDataError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind(manifest + ":" + std::to_string(line) + ": ", 0), 0u) << what;
      EXPECT_NE(what.find(message), std::string::npos) << what;
    }
  }
}

TEST(SoundManifest, ReadsFieldsAndRefusesUnknownOnes) {
  TScratchDir dir;
  dir.Write("engine.txt", "");
  const auto entries = ReadSoundManifest(dir.Write("ok.txt", "Engine engine.txt looped=yes max=1\nTick engine.txt\n"));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].Looped);
  EXPECT_EQ(entries[0].MaxPlayingCount, 1);
  EXPECT_FALSE(entries[1].Looped);
  EXPECT_EQ(entries[1].MaxPlayingCount, 0);

  const std::string bad = dir.Write("bad.txt", "Engine engine.txt\nShot engine.txt loop=yes\n");
  try {
    ReadSoundManifest(bad);
    ADD_FAILURE();
  } catch (const EDataError& e) {
    EXPECT_EQ(std::string(e.what()), bad + ":2: unknown field 'loop'");
  }
}

}  // namespace
