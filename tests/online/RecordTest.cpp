// The result record, its letter code, the server's address and the two addresses on it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "game/online/SubmitResult.h"

namespace {

TEST(ResultRecord, TwoLetterNameWithDefaultFreeTextIsPaddedByOneZero) {
  const std::string record = ResultRecord("Ab", 1234, "_______");
  EXPECT_EQ(record, "type=0|name=Ab|score=1234|key=S|p=|add=_______|z=0");
  EXPECT_EQ(record.size(), 50u);
}

TEST(ResultRecord, PaddingFillsToWholeFiveByteGroupsOnly) {
  // Each longer name moves the unpadded length one byte on: 49, 50, 51, 52, 53.
  const struct {
    std::string Name;
    size_t Zeros;
  } Cases[] = {{"Ab", 1}, {"Abc", 0}, {"Abcd", 4}, {"Abcde", 3}, {"Abcdef", 2}};
  for (const auto& c : Cases) {
    const std::string record = ResultRecord(c.Name, 1234, "_______");
    const std::string trailer = "|z=" + std::string(c.Zeros, '0');
    EXPECT_EQ(record.size() % 5, 0u) << c.Name;
    EXPECT_EQ(record.substr(record.size() - trailer.size()), trailer) << c.Name;
  }
}

TEST(ResultRecord, NamesAndFreeTextGoInAsTheyAre) {
  EXPECT_EQ(ResultRecord("", 0, ""), "type=0|name=|score=0|key=S|p=|add=|z=000");
  EXPECT_EQ(ResultRecord("a|b=c", 7, "x|y"), "type=0|name=a|b=c|score=7|key=S|p=|add=x|y|z=");
  // Cyrillic in Windows-1251 stays one byte a letter.
  EXPECT_EQ(ResultRecord("\xC8\xE2\xE0\xED", 2147483647, "\xFF"),
            "type=0|name=\xC8\xE2\xE0\xED|score=2147483647|key=S|p=|add=\xFF|z=0000");
}

TEST(EncodeBits, KnownCodes) {
  EXPECT_EQ(EncodeBits(ToBitString("abc")), "GC2VD");
  EXPECT_EQ(EncodeBits(ToBitString("abcde")), "NFTGG3DF");
  EXPECT_EQ(ToBitString("\x80\x01"), "1000000000000001");
  EXPECT_EQ(EncodeBits(""), "");
  // Short groups get their zeros in front; any mark but "0" is a set bit.
  EXPECT_EQ(EncodeBits("1"), "B");
  EXPECT_EQ(EncodeBits("x0000"), "S");
  EXPECT_EQ(EncodeBits("11111"), "9");
}

TEST(EncodeBits, EveryByteValueGivesOnlyAlphabetLettersEightPerFiveBytes) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const std::string code = EncodeBits(ToBitString(all));
  EXPECT_EQ(SubmitAlphabet.size(), 32u);
  EXPECT_EQ(code.size() * 5, all.size() * 8 + 5 - (all.size() * 8) % 5);
  const std::string record = ResultRecord("\xC0|<&\"'", 99, "\x98 \x01");
  const std::string recordCode = EncodeBits(ToBitString(record));
  EXPECT_EQ(recordCode.size(), record.size() / 5 * 8);
  for (const std::string& c : {code, recordCode})
    EXPECT_EQ(c.find_first_not_of(SubmitAlphabet), std::string::npos) << c;
}

TEST(ScoreServerAddress, FirstLineNamesTheServerOrTheDefaultStands) {
  const struct {
    std::string Line, Address;
  } Cases[] = {
      {"", "localhost:8080"},
      {"   \t\r", "localhost:8080"},
      {"scores.example.org", "scores.example.org"},
      {"  scores.example.org:9000 \r", "scores.example.org:9000"},
      {"\xEF\xBB\xBF" "10.1.2.3:80", "10.1.2.3:80"},
      {"[::1]:8081", "[::1]:8081"},
      {"[fe80::1]", "[fe80::1]"},
      // Junk of every kind falls back rather than building a strange address.
      {"http://scores.example.org", "localhost:8080"},
      {"scores.example.org/cgi", "localhost:8080"},
      {"host:0", "localhost:8080"},
      {"host:65536", "localhost:8080"},
      {"host:080", "localhost:8080"},
      {"host:", "localhost:8080"},
      {":8080", "localhost:8080"},
      {"two words", "localhost:8080"},
      {"user@host", "localhost:8080"},
      {"-host", "localhost:8080"},
      {"[::1", "localhost:8080"},
      {"[::1]x", "localhost:8080"},
      {"[]:80", "localhost:8080"},
      {"\xC8\xEC\xFF", "localhost:8080"},
      {std::string(300, 'a'), "localhost:8080"},
  };
  for (const auto& c : Cases) EXPECT_EQ(ScoreServerAddressFrom(c.Line), c.Address) << c.Line;
}

TEST(ScoreServerAddress, ReadsTheFileBesideTheGame) {
  const auto dir = std::filesystem::temp_directory_path() / ("sprayrush-address-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "Data");
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  EXPECT_EQ(ScoreServerAddress(), "localhost:8080");
  std::ofstream(dir / "Data" / "ScoreServer.txt", std::ios::binary) << "scores.example.org:9000\r\nsecond line\r\n";
  EXPECT_EQ(ScoreServerAddress(), "scores.example.org:9000");
  std::ofstream(dir / "Data" / "ScoreServer.txt", std::ios::binary) << "\r\nscores.example.org\r\n";
  EXPECT_EQ(ScoreServerAddress(), "localhost:8080");
  std::filesystem::current_path(before);
  std::filesystem::remove_all(dir);
}

TEST(ScoreServerUrls, SubmissionAndTablePage) {
  EXPECT_EQ(SubmitUrl("localhost:8080", "GC2VD"), "http://localhost:8080/cgi/version.pl?hs&prg=Sprayrush&inf=GC2VD");
  EXPECT_EQ(HighScorePageUrl("scores.example.org"),
            "http://scores.example.org/cgi/version.pl?prg=Sprayrush&show&type=0");
}

}  // namespace
