#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/persist/TextLines.h"
#include "tests/persist/SaveFolder.h"

namespace {

void ExpectDefaults(const TGameOptions& o, const std::string& signature) {
  EXPECT_FALSE(o.FullScreen);
  EXPECT_TRUE(o.MusicOn);
  EXPECT_TRUE(o.SoundOn);
  EXPECT_EQ(o.AddInfo, "_______");
  EXPECT_EQ(signature, "");
}

TGameOptions Unusual() { return {true, false, false, "zzz"}; }

}  // namespace

class OptionsFile : public SaveFolder {};

TEST_F(OptionsFile, MissingFileGivesDefaultsAndNoSignature) {
  TGameOptions o = Unusual();
  std::string signature = "old";
  LoadOptions(o, signature);
  ExpectDefaults(o, signature);
}

TEST_F(OptionsFile, RoundTripKeepsEveryByte) {
  const struct { TGameOptions Options; std::string Signature, File; } cases[] = {
      {{}, "", "0\r\n1\r\n1\r\n_______\r\n\r\n"},
      {{true, false, true, "\xCF\xF0\xE8\xE2\xE5\xF2 1"}, "\xD2\x34\xA2\x26",  // "Привет 1"
       "1\r\n0\r\n1\r\n\xCF\xF0\xE8\xE2\xE5\xF2 1\r\n\xD2\x34\xA2\x26\r\n"},
      {{false, false, false, ""}, std::string(MaxLineBytes, '\xFF'),
       "0\r\n0\r\n0\r\n\r\n" + std::string(MaxLineBytes, '\xFF') + "\r\n"},
  };
  for (const auto& c : cases) {
    SaveOptions(c.Options, c.Signature);
    ASSERT_EQ(Read("Data\\Save\\options"), c.File);
    TGameOptions o = Unusual();
    std::string signature = "old";
    LoadOptions(o, signature);
    EXPECT_EQ(o.FullScreen, c.Options.FullScreen);
    EXPECT_EQ(o.MusicOn, c.Options.MusicOn);
    EXPECT_EQ(o.SoundOn, c.Options.SoundOn);
    EXPECT_EQ(o.AddInfo, c.Options.AddInfo);
    EXPECT_EQ(signature, c.Signature);
    SaveOptions(o, signature);
    EXPECT_EQ(Read("Data\\Save\\options"), c.File);
  }
}

TEST_F(OptionsFile, AnyNonZeroFlagReadsTrueAndIsWrittenAsOne) {
  const struct { const char* Line; bool Value; } cases[] = {
      {"5", true}, {"1", true}, {"-1", true}, {"1 yes", true}, {" 7\t", true},
      {"0", false}, {"00", false}, {"0 no", false}, {"-0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    const std::string line = c.Line;
    Write("Data\\Save\\options", line + "\r\n" + line + "\r\n" + line + "\r\nabc\r\nsig\r\n");
    TGameOptions o;
    std::string signature;
    LoadOptions(o, signature);
    EXPECT_EQ(o.FullScreen, c.Value);
    EXPECT_EQ(o.MusicOn, c.Value);
    EXPECT_EQ(o.SoundOn, c.Value);
    SaveOptions(o, signature);
    const std::string flag = c.Value ? "1\r\n" : "0\r\n";
    EXPECT_EQ(Read("Data\\Save\\options"), flag + flag + flag + "abc\r\nsig\r\n");
  }
}

TEST_F(OptionsFile, FreeTextCannotBreakTheLineFormat) {
  TGameOptions o;
  o.AddInfo = "a\r\nb\rc\n";
  SaveOptions(o, "sig");
  EXPECT_EQ(Read("Data\\Save\\options"), "0\r\n1\r\n1\r\nabc\r\nsig\r\n");
}

TEST_F(OptionsFile, DamagedFilesGiveDefaultsAndNoSignature) {
  const struct { const char* What; std::string Text; } cases[] = {
      {"empty", ""},
      {"four lines", "1\r\n0\r\n0\r\nabc\r\n"},
      {"flag not a number", "1\r\nyes\r\n0\r\nabc\r\nsig\r\n"},
      {"empty flag line", "1\r\n0\r\n\r\nabc\r\nsig\r\n"},
      {"flag beyond 32 bits", "99999999999\r\n0\r\n0\r\nabc\r\nsig\r\n"},
      {"free text too long", "1\r\n0\r\n0\r\n" + std::string(MaxLineBytes + 1, 'a') + "\r\nsig\r\n"},
      {"binary junk", std::string("\x00\x01\xFF\x80\r\x7F\x00", 7) + std::string(1 << 20, '\x1A')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Write("Data\\Save\\options", c.Text);
    TGameOptions o = Unusual();
    std::string signature = "old";
    LoadOptions(o, signature);
    ExpectDefaults(o, signature);
  }
}
