#include <climits>

#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/persist/TextLines.h"
#include "tests/persist/SaveFolder.h"

namespace {

THighScoreTable DefaultTable() {
  THighScoreTable t;
  ResetHighScores(t);
  return t;
}

std::string DefaultFile() {
  std::string text;
  for (int i = 1; i <= 10; ++i) text += Vanya + "\r\n" + std::to_string(5500 - 500 * i) + "\r\n0\r\n0\r\n";
  return text;
}

// Every slot 1-10 holds the given entry, so a load that keeps it is easy to see.
THighScoreTable FilledWith(const THighScore& e) {
  THighScoreTable t;
  for (int i = 1; i <= 10; ++i) t.HighScores[i] = e;
  return t;
}

void ExpectSameEntries(const THighScoreTable& a, const THighScoreTable& b) {
  for (int i = 1; i <= 11; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i));
    EXPECT_EQ(a.HighScores[i].Name, b.HighScores[i].Name);
    EXPECT_EQ(a.HighScores[i].Points, b.HighScores[i].Points);
    EXPECT_EQ(a.HighScores[i].Extra1, b.HighScores[i].Extra1);
    EXPECT_EQ(a.HighScores[i].Extra2, b.HighScores[i].Extra2);
  }
}

}  // namespace

TEST(HighScoreTable, DefaultIsTenVanyasFrom5000DownTo500AndLeavesSlot11) {
  THighScoreTable t;
  t.HighScores[11] = {"kept", 7, 1, 2};
  ResetHighScores(t);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(t.HighScores[i].Name, Vanya);
    EXPECT_EQ(t.HighScores[i].Points, 5500 - 500 * i);
    EXPECT_EQ(t.HighScores[i].Extra1, 0);
    EXPECT_EQ(t.HighScores[i].Extra2, 0);
  }
  EXPECT_EQ(t.HighScores[11].Name, "kept");
  EXPECT_EQ(t.HighScores[11].Points, 7);
}

TEST(HighScoreSignature, DefaultTableSignsAsD234A226) {
  EXPECT_EQ(HighScoreSignature(DefaultTable()), "\xD2\x34\xA2\x26");
}

TEST(HighScoreSignature, LengthFollowsTheLongestName) {
  THighScoreTable t = DefaultTable();
  t.HighScores[7].Name = "ABCDEFGHI";
  EXPECT_EQ(HighScoreSignature(t).size(), 9u);
  for (int i = 1; i <= 10; ++i) t.HighScores[i].Name = "";
  EXPECT_EQ(HighScoreSignature(t), "");
  t.HighScores[11].Name = "the candidate slot is not signed";
  EXPECT_EQ(HighScoreSignature(t), "");
}

TEST(HighScoreSignature, OnlyDigitsWithinTheLongestNameCount) {
  THighScoreTable t = FilledWith({"AB", 1000, 0, 0});
  t.HighScores[3].Points = 4512;
  const std::string base = HighScoreSignature(t);
  EXPECT_EQ(base.size(), 2u);
  t.HighScores[3].Points = 4599;
  EXPECT_EQ(HighScoreSignature(t), base);
  t.HighScores[3].Points = 4612;
  EXPECT_NE(HighScoreSignature(t), base);
  for (unsigned char c : base) EXPECT_GE(c, 32);
}

TEST(HighScoreTable, QualifyingMeansBeatingAnEntryStrictly) {
  const THighScoreTable t = DefaultTable();
  const struct { int32_t Score; bool Qualifies; } cases[] = {
      {500, false}, {501, true}, {5001, true}, {0, false}, {-1, false}, {INT32_MIN, false}, {INT32_MAX, true},
  };
  for (const auto& c : cases) EXPECT_EQ(QualifiesForHighScore(t, c.Score), c.Qualifies) << c.Score;
}

TEST(HighScoreTable, InsertPlacesANewResultBelowEqualOnesAndDropsTheLowest) {
  const struct { int32_t Score; int Slot; } cases[] = {
      {5001, 1}, {5000, 2}, {4500, 3}, {501, 10}, {500, 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Score);
    THighScoreTable t = DefaultTable();
    t.HighScores[11].Extra1 = 7;  // a leftover of the last insertion travels with the new entry
    InsertHighScore(t, "New", c.Score);
    EXPECT_EQ(t.HighScores[c.Slot].Name, "New");
    EXPECT_EQ(t.HighScores[c.Slot].Points, c.Score);
    EXPECT_EQ(t.HighScores[c.Slot].Extra1, 7);
    EXPECT_EQ(t.HighScores[11].Points, 500);  // the old lowest, forgotten next time
    for (int i = 1; i <= 10; ++i) EXPECT_GE(t.HighScores[i].Points, t.HighScores[i + 1].Points) << i;
  }
}

TEST(HighScoreTable, SortKeepsEqualResultsInTheirOrder) {
  THighScoreTable t;
  const int32_t points[] = {3, 5, 3, 9, 5, 3, 3, 5, 9, 3, 5};
  for (int i = 1; i <= 11; ++i) t.HighScores[i] = {std::string(1, char('a' + i - 1)), points[i - 1], i, -i};
  SortHighScores(t);
  std::string order;
  for (int i = 1; i <= 11; ++i) {
    order += t.HighScores[i].Name;
    EXPECT_EQ(t.HighScores[i].Extra1, t.HighScores[i].Name[0] - 'a' + 1);  // records move whole
  }
  EXPECT_EQ(order, "dibehkacfgj");
}

class HighScoreFile : public SaveFolder {};

TEST_F(HighScoreFile, DefaultTableIsWrittenAsFortyCrLfLines) {
  SaveHighScores(DefaultTable());
  EXPECT_EQ(Read("Data\\Save\\hs"), DefaultFile());
}

TEST_F(HighScoreFile, RoundTripKeepsEveryByte) {
  THighScoreTable t = DefaultTable();
  t.HighScores[1] = {"\xCF\xB8\xF2\xF0 \xC8\xE2\xE0\xED\xEE\xE2", INT32_MAX, 12, -34};  // "Пётр Иванов"
  t.HighScores[2] = {"", 4000, INT32_MIN, 0};
  t.HighScores[3] = {std::string("\x01\x00\xFF\x7F", 4), -250, 0, 99};
  t.HighScores[10] = {std::string(MaxLineBytes, 'z'), 0, 0, 0};
  SaveHighScores(t, "Data\\Save\\one");
  THighScoreTable back;
  LoadHighScores(back, "Data\\Save\\one");
  ExpectSameEntries(back, t);
  SaveHighScores(back, "Data\\Save\\two");
  EXPECT_EQ(Read("Data\\Save\\two"), Read("Data\\Save\\one"));
}

TEST_F(HighScoreFile, NamesCannotBreakTheLineFormat) {
  THighScoreTable t = DefaultTable();
  InsertHighScore(t, "A\r\nB\n", 9000);
  EXPECT_EQ(t.HighScores[1].Name, "AB");
  t.HighScores[2].Name = "C\rD";  // however it got there
  SaveHighScores(t);
  THighScoreTable back;
  LoadHighScores(back);
  EXPECT_EQ(back.HighScores[1].Name, "AB");
  EXPECT_EQ(back.HighScores[2].Name, "CD");
  EXPECT_EQ(back.HighScores[10].Points, 1000);
}

TEST_F(HighScoreFile, FilesFromOtherEditorsStillRead) {
  const std::string lfOnly = [] {
    std::string s = DefaultFile();
    for (size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
    return s;
  }();
  const struct { const char* What; std::string Text; } cases[] = {
      {"LF line ends", lfOnly},
      {"no final line end", DefaultFile().substr(0, DefaultFile().size() - 2)},
      {"lines after the table", DefaultFile() + "junk\r\n\x01\x02"},
      {"text after the numbers", [] {
         std::string s = DefaultFile();
         s.replace(s.find("\r\n5000\r\n"), 8, "\r\n 5000 points\t\r\n");
         s.replace(s.find("\r\n4500\r\n"), 8, "\r\n+4500x\r\n");
         return s;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Write("Data\\Save\\hs", c.Text);
    THighScoreTable t = FilledWith({"x", 1, 1, 1});
    LoadHighScores(t);
    ExpectSameEntries(t, DefaultTable());
  }
}

TEST_F(HighScoreFile, DamagedFilesGiveTheDefaultTable) {
  const std::string file = DefaultFile();
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = file;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const std::string junk = [] {
    std::string s;
    for (int i = 0; i < 3000; ++i) s.push_back(char(i * 37 % 251));
    return s;
  }();
  const struct { const char* What; std::string Text; } cases[] = {
      {"empty", ""},
      {"39 lines", file.substr(0, file.rfind("0\r\n"))},
      {"points not a number", replaced("\r\n4000\r\n", "\r\nfour\r\n")},
      {"empty number line", replaced("\r\n4000\r\n", "\r\n\r\n")},
      {"a sign alone", replaced("\r\n0\r\n", "\r\n-\r\n")},
      {"points beyond 32 bits", replaced("\r\n4000\r\n", "\r\n2147483648\r\n")},
      {"name line too long", replaced(Vanya + "\r\n4000", std::string(MaxLineBytes + 1, 'n') + "\r\n4000")},
      {"number line too long", replaced("\r\n4000\r\n", "\r\n4000" + std::string(MaxLineBytes, ' ') + "\r\n")},
      {"binary junk", junk},
      {"one huge line", std::string(4 << 20, '7')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Write("Data\\Save\\hs", c.Text);
    THighScoreTable t = FilledWith({"x", 1, 1, 1});
    LoadHighScores(t);
    ExpectSameEntries(t, DefaultTable());
  }
  fs::remove("Data/Save/hs");
  fs::create_directory("Data/Save/hs");
  THighScoreTable t = FilledWith({"x", 1, 1, 1});
  LoadHighScores(t);
  ExpectSameEntries(t, DefaultTable());
}

TEST_F(HighScoreFile, ReadableOnlyWhenAFileCanBeOpened) {
  Write("Data\\Save\\hs", "");
  EXPECT_TRUE(FileReadable("Data\\Save\\hs"));
  EXPECT_FALSE(FileReadable(""));
  EXPECT_FALSE(FileReadable("Data\\Save\\missing"));
  EXPECT_FALSE(FileReadable("Data\\Save"));
}

// The start-up check: a table changed outside the game no longer matches the signature
// that the options file carries.
TEST_F(HighScoreFile, HandEditedTableIsDetected) {
  const struct { const char* What; std::string From, To; bool Valid; } cases[] = {
      {"untouched", "", "", true},
      {"a digit of a result", "4500", "4501", false},
      {"a name byte", "\xFF\r\n3000", "\xFE\r\n3000", false},
      {"an extra number", "\r\n500\r\n0\r\n", "\r\n500\r\n1\r\n", true},  // not signed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const THighScoreTable saved = DefaultTable();
    SaveOptions(TGameOptions{}, HighScoreSignature(saved));
    SaveHighScores(saved);
    std::string text = Read("Data\\Save\\hs");
    if (!c.From.empty()) text.replace(text.find(c.From), c.From.size(), c.To);
    Write("Data\\Save\\hs", text);

    THighScoreTable t;
    TGameOptions options;
    LoadHighScores(t);
    LoadOptions(options, t.StoredSignature);
    EXPECT_EQ(HighScoresValid(t), c.Valid);
  }
  fs::remove("Data/Save/options");
  THighScoreTable t;
  TGameOptions options;
  LoadHighScores(t);
  LoadOptions(options, t.StoredSignature);
  EXPECT_FALSE(HighScoresValid(t));
}
