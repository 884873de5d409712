// What the server takes from a submission, what it refuses, and the page it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "game/online/SubmitResult.h"
#include "server/ScoreRecord.h"
#include "server/ScoreService.h"

namespace {

using namespace Scores;

std::string GameCode(const std::string& name, int32_t score, const std::string& add) {
  return EncodeBits(ToBitString(ResultRecord(name, score, add)));
}

// Pads a hand-made record the way the game does, so only the part under test is wrong.
std::string Padded(std::string record) {
  while (record.size() % 5) record += '0';
  return record;
}

class TMemoryStore : public TScoreStore {
 public:
  void Add(const std::vector<TScoreEntry>& entries) override {
    Entries.insert(Entries.end(), entries.begin(), entries.end());
  }
  TProvenStored AddProven(const TProvenResult& result) override {
    Entries.push_back(result.Entry);
    Entries.back().Proven = true;
    Entries.back().Id = int64_t(Entries.size());
    return {TProvenStored::New, Entries.back()};
  }
  std::optional<std::string> Replay(int64_t) override { return std::nullopt; }
  std::vector<TScoreEntry> Best(const TTableView& view) override {
    auto best = Entries;
    if (view.ProvenOnly) std::erase_if(best, [](const TScoreEntry& e) { return !e.Proven; });
    std::stable_sort(best.begin(), best.end(), [](auto& a, auto& b) { return a.Score > b.Score; });
    best.erase(best.begin(), best.begin() + std::min(view.First, best.size()));
    if (best.size() > view.Count) best.resize(view.Count);
    return best;
  }
  std::vector<TScoreEntry> Entries;
};

TEST(ScoreRecord, EveryRecordTheGameCanSendReadsBackAsSent) {
  const struct {
    std::string Name;
    int32_t Score;
    std::string Add;
  } Cases[] = {
      {"Ab", 1234, "_______"},
      {"", 0, ""},
      {"|", 5, "|"},
      {"a|b", 7, "x|y"},
      {"|score=1", 2, "|z=0"},
      {"|score=", 3, "|z="},
      {"|key=S|p=", 4, "|add="},
      {"x|add=", 5, "|key=S|p="},
      {"|z=000", 6, "0000"},
      {"\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE", 2147483647, "\xF2\xE5\xEA\xF1\xF2 1234"},
      {"<b>&\"'", 1, "\x98\x7F"},
  };
  for (const auto& c : Cases) {
    const auto record = DecodeCode(GameCode(c.Name, c.Score, c.Add));
    ASSERT_TRUE(record) << c.Name;
    EXPECT_EQ(*record, ResultRecord(c.Name, c.Score, c.Add));
    std::string why;
    const auto result = ParseRecord(*record, &why);
    ASSERT_TRUE(result) << c.Name << ": " << why;
    EXPECT_EQ(result->Name, c.Name);
    EXPECT_EQ(result->Score, c.Score);
    EXPECT_EQ(result->AddInfo, c.Add);
  }
}

TEST(ScoreRecord, MalformedRecordsAreRefused) {
  const std::string Cases[] = {
      Padded("type=1|name=Ab|score=1|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=1|key=T|p=|add=x|z="),
      Padded("type=0|name=Ab|score=1|key=S|p=1|add=x|z="),
      Padded("type=0|name=Ab|score=1|key=S|add=x|z="),
      Padded("type=0|name=Ab|key=S|p=|add=x|z="),
      Padded("type=0|name=Abcdefghijk|score=1|key=S|p=|add=x|z="),
      Padded("type=0|name=A\x01|score=1|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=-1|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=2147483648|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=01|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=1 |key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=1|key=S|p=|add=x|z=1"),
      Padded("type=0|name=Ab|score=1|key=S|p=|add=x"),
      Padded("name=Ab|type=0|score=1|key=S|p=|add=x|z="),
      Padded("type=0|name=Ab|score=1|key=S|p=|add=" + std::string(MaxSentAddInfoBytes + 1, 'x') + "|z="),
      // Right length, wrong padding: an extra group of zeros, or non-zero filler.
      "type=0|name=Abc|score=1234|key=S|p=|add=_______|z=00000",
      "type=0|name=Ab|score=1234|key=S|p=|add=_______|z=x",
      "",
  };
  for (const auto& record : Cases) {
    std::string why;
    EXPECT_FALSE(ParseRecord(record, &why)) << record;
    EXPECT_FALSE(why.empty()) << record;
  }
}

TEST(ScoreRecord, CodesThatAreNotWholeRecordsAreRefused) {
  const std::string good = GameCode("Ab", 1234, "_______");
  ASSERT_TRUE(DecodeCode(good));
  const std::string Cases[] = {
      "",
      good.substr(1),
      good + "A",
      "I" + good.substr(1),
      "O" + good.substr(1),
      "0" + good.substr(1),
      "Z" + good.substr(1),
      "a" + good.substr(1),
      "%41" + good.substr(3),
      std::string(MaxCodeLength + 8, 'A'),
  };
  for (const auto& code : Cases) EXPECT_FALSE(DecodeCode(code)) << code;
  // The longest record the game can make still fits.
  EXPECT_TRUE(DecodeCode(GameCode("0123456789", 2147483647, "0123456789")));
}

TEST(ScoreService, OnlyTheTwoQueriesOfTheGameAreAnswered) {
  TMemoryStore store;
  const std::string code = GameCode("Ab", 1234, "_______");
  EXPECT_EQ(AnswerQuery(store, "hs&prg=Sprayrush&inf=" + code, 1000).Status, 200);
  ASSERT_EQ(store.Entries.size(), 1u);
  EXPECT_EQ(store.Entries[0].Name, "Ab");
  EXPECT_EQ(store.Entries[0].Score, 1234);
  EXPECT_EQ(store.Entries[0].AddInfo, "_______");
  EXPECT_EQ(store.Entries[0].Time, 1000);
  EXPECT_EQ(AnswerQuery(store, "hs=&inf=" + code + "&prg=Sprayrush", 1000).Status, 200);

  const auto page = AnswerQuery(store, "prg=Sprayrush&show&type=0", 1000);
  EXPECT_EQ(page.Status, 200);
  EXPECT_EQ(page.ContentType, "text/html; charset=utf-8");
  EXPECT_EQ(AnswerQuery(store, "format=json&type=0&show&prg=Sprayrush", 1000).ContentType,
            "application/json; charset=utf-8");

  const std::string Refused[] = {
      "",
      "hs&prg=Sprayrush",
      "hs&prg=Sprayrush&inf=",
      "hs&prg=Sprayrush&inf=AAAA",
      "hs&prg=Sprayrush&inf=" + code + "&inf=" + code,
      "hs&prg=Sprayrush&inf=" + code + "&x=1",
      "hs=1&prg=Sprayrush&inf=" + code,
      "hs&prg=Other&inf=" + code,
      "hs&prg=sprayrush&inf=" + code,
      "hs&inf=" + code,
      "hs&prg=Sprayrush&inf=" + code.substr(0, 8) + "%20" + code.substr(8),
      "hs&&prg=Sprayrush&inf=" + code,
      "prg=Sprayrush&show&type=2",
      "prg=Sprayrush&show",
      "prg=Sprayrush&show=1&type=0",
      "prg=Sprayrush&type=0",
      "prg=Sprayrush&show&type=0&page=0",
      "prg=Sprayrush&show&type=0&page=01",
      "prg=Sprayrush&show&type=0&page=-1",
      "prg=Sprayrush&show&type=0&page=x",
      "prg=Sprayrush&show&type=0&page=" + std::to_string(MaxTablePage + 1),
      "prg=Sprayrush&show&type=0&page=1&page=2",
      "prg=Sprayrush&show&type=0&format=xml",
      "prg=Sprayrush&show&type=0&format",
      "prg=Sprayrush&show&type=0&hs",
      "prg=Sprayrush&show&type=0&lang=de",
      "prg=Sprayrush&show&type=0&lang=",
  };
  for (const auto& query : Refused) {
    const int status = AnswerQuery(store, query, 1000).Status;
    EXPECT_GE(status, 400) << query;
    EXPECT_LT(status, 500) << query;
  }
  EXPECT_EQ(store.Entries.size(), 2u);
}

TEST(ScoreService, PageShowsEveryTextEscapedAndInUtf8) {
  const std::vector<TScoreEntry> best = {
      {"<b>&\"'", 900, "<i>", 86400},
      {"\xC8\xE2\xE0\xED", 800, "\x98", 0},
  };
  const std::string page = TablePage(best);
  EXPECT_NE(page.find("&lt;b&gt;&amp;&quot;&#39;"), std::string::npos);
  EXPECT_NE(page.find("&lt;i&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"), std::string::npos);  // "Иван"
  EXPECT_NE(page.find("\xEF\xBF\xBD"), std::string::npos);                      // 0x98 has no letter
  EXPECT_NE(page.find("02.01.1970"), std::string::npos);
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_LT(page.find(">900<"), page.find(">800<"));
  EXPECT_NE(TablePage({}).find("Результатов пока нет"), std::string::npos);
}

TEST(ScoreService, ThePageSpeaksWhatTheBrowserRatesHighestAndRussianByDefault) {
  const struct {
    const char* AcceptLanguage;
    const TPageWords* Words;
  } cases[] = {
      {"", &RussianPage},
      {"en-US,en;q=0.9", &EnglishPage},
      {"ru-RU,ru;q=0.9,en-US;q=0.8,en;q=0.7", &RussianPage},
      {"de-DE,de;q=0.9,en;q=0.8", &EnglishPage},
      {"fr-FR, fr;q=0.9, *;q=0.5", &RussianPage},
      {"EN-gb", &EnglishPage},
      {"en;q=0.5, ru;q=0.5", &EnglishPage},  // equal: the first asked for
      {"ru;q=0.2, en;q=0.7", &EnglishPage},
      {"en;q=0, ru;q=0.1", &RussianPage},
      {"en;q=x, ru;q=0.1", &RussianPage},
      {"en;q=2", &RussianPage},
  };
  for (const auto& c : cases) EXPECT_EQ(&PageWordsFor(c.AcceptLanguage), c.Words) << c.AcceptLanguage;
}

TEST(ScoreService, EachLanguagesPageLinksToTheOtherAndAChosenOneKeepsToItself) {
  const std::vector<TScoreEntry> best = {{"Ann", 900, "", 86400, "", 7, true}};
  TPagePlace place{2, true, false, true, false, &EnglishPage, false};
  std::string page = TablePage(best, place);
  for (const char* text : {"<html lang=\"en\">", "<title>Sprayrush: high scores</title>", "<h2>High scores</h2>",
                           "<th>Place</th>", "1970-01-02", "title=\"Proven: the server", "&larr; Higher",
                           "Lower &rarr;", "Places 101&ndash;101", "Proven only &#10004;",
                           "type=0&amp;page=2&amp;lang=ru\" hreflang=\"ru\" lang=\"ru\">Русский</a>"})
    EXPECT_NE(page.find(text), std::string::npos) << text;
  EXPECT_EQ(page.find("lang=en"), std::string::npos);  // the browser's choice needs no mark
  EXPECT_EQ(page.find("Места"), std::string::npos);

  place.WordsChosen = true;  // by the link: every link of the page keeps it
  page = TablePage(best, place);
  EXPECT_NE(page.find("type=0&amp;page=3&amp;lang=en\">Lower"), std::string::npos);
  EXPECT_NE(page.find("type=1&amp;lang=en\">Proven only"), std::string::npos);
  EXPECT_NE(TablePage(best).find("type=0&amp;lang=en\" hreflang=\"en\" lang=\"en\">English</a>"), std::string::npos);

  TMemoryStore store;
  const TAnswer chosen = AnswerQuery(store, "prg=Sprayrush&show&type=0&lang=en", 1000);
  EXPECT_NE(chosen.Body.find("<h2>High scores</h2>"), std::string::npos);
  EXPECT_NE(std::find(chosen.Headers.begin(), chosen.Headers.end(),
                      std::pair<std::string, std::string>("Vary", "Accept-Language")),
            chosen.Headers.end());
}

TEST(ScoreRecord, AnyFreeTextTheGameSendsIsKeptClippedWithControlBytesAsSpaces) {
  const struct {
    std::string Sent, Kept;
  } Cases[] = {
      {"0123456789abcdefghijklmnopqrstuvwxyz", "0123456789abcdefghijklmnopqrstuv"},
      {std::string(MaxSentAddInfoBytes, '\xE0'), std::string(StoredAddInfoBytes, '\xE0')},
      {"a\tb\x01" "c\x1F", "a b c "},
      {"|key=S|p=|add=|z=", "|key=S|p=|add=|z="},
      {"", ""},
  };
  for (const auto& c : Cases) {
    const auto record = DecodeCode(GameCode("Ab", 5, c.Sent));
    ASSERT_TRUE(record) << c.Sent.size();
    std::string why;
    const auto result = ParseRecord(*record, &why);
    ASSERT_TRUE(result) << why;
    EXPECT_EQ(result->AddInfo, c.Kept);
    EXPECT_EQ(result->Name, "Ab");
    EXPECT_EQ(result->Score, 5);
  }
}

// A table of results 1..count points, each named by its score.
TMemoryStore StoreOf(int count) {
  TMemoryStore store;
  for (int score = 1; score <= count; ++score) store.Entries.push_back({std::to_string(score), score, "", 0});
  return store;
}

TEST(ScoreService, TheTableComesAHundredPlacesAPageWithLinksBetweenThem) {
  TMemoryStore store = StoreOf(250);
  const auto first = TableAnswer(store, {1, false});
  ASSERT_EQ(first.Status, 200);
  EXPECT_NE(first.Body.find("<td class=\"place\">1</td><td class=\"name\">250</td>"), std::string::npos);
  EXPECT_NE(first.Body.find("<td class=\"place\">100</td><td class=\"name\">151</td>"), std::string::npos);
  EXPECT_EQ(first.Body.find(">101<"), std::string::npos);
  EXPECT_NE(first.Body.find("href=\"version.pl?prg=Sprayrush&amp;show&amp;type=0&amp;page=2\""), std::string::npos);
  EXPECT_EQ(first.Body.find("page=0"), std::string::npos);

  const auto last = TableAnswer(store, {3, false});
  ASSERT_EQ(last.Status, 200);
  EXPECT_NE(last.Body.find("<td class=\"place\">201</td><td class=\"name\">50</td>"), std::string::npos);
  EXPECT_NE(last.Body.find("<td class=\"place\">250</td><td class=\"name\">1</td>"), std::string::npos);
  EXPECT_NE(last.Body.find("page=2\">"), std::string::npos);
  EXPECT_EQ(last.Body.find("page=4"), std::string::npos);
  EXPECT_EQ(TableAnswer(store, {4, false}).Status, 404);

  // A table that fits on one page is the designed page, without links.
  TMemoryStore small = StoreOf(100);
  EXPECT_EQ(TableAnswer(small, {1, false}).Body.find("<nav"), std::string::npos);
  EXPECT_EQ(TableAnswer(small, {2, false}).Status, 404);
  TMemoryStore empty;
  EXPECT_EQ(TableAnswer(empty, {1, false}).Status, 200);
}

TEST(ScoreService, TheJsonTableHasThePagesRowsWithEveryTextEscaped) {
  TMemoryStore store = StoreOf(150);
  store.Entries.push_back({"<b>\"\\\xC8", 1000, "\x01", 86400});
  const auto first = TableAnswer(store, {1, true});
  ASSERT_EQ(first.Status, 200);
  EXPECT_EQ(first.Body.rfind("{\"game\":\"Sprayrush\",\"type\":0,\"page\":1,\"next_page\":2,\"results\":[\n", 0), 0u)
      << first.Body.substr(0, 100);
  EXPECT_NE(first.Body.find("{\"place\":1,\"name\":\"\\u003cb\\u003e\\\"\\\\\xD0\x98\",\"score\":1000,"
                            "\"info\":\"\\u0001\",\"time\":86400}"),
            std::string::npos)
      << first.Body.substr(0, 300);
  const auto second = TableAnswer(store, {2, true});
  EXPECT_NE(second.Body.find("\"page\":2,\"next_page\":null"), std::string::npos);
  EXPECT_NE(second.Body.find("{\"place\":101,\"name\":\"51\",\"score\":51,"), std::string::npos);
  EXPECT_NE(second.Body.find("{\"place\":151,\"name\":\"1\",\"score\":1,\"info\":\"\",\"time\":0}\n]}\n"),
            std::string::npos);
}

}  // namespace
