#pragma once
// The two questions the game's address answers: a submission, and the table page.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/ScoreStore.h"

namespace Scores {

struct TAnswer {
  int Status = 200;
  std::string ContentType = "text/plain; charset=utf-8";
  std::string Body;
};

// Rows on the table page.
constexpr size_t TableRows = 100;

// The query of GET /cgi/version.pl: "hs&prg=Sprayrush&inf=CODE" stores the result (200)
// and "prg=Sprayrush&show&type=0" gives the table page; anything else is a 4xx answer and
// stores nothing. now is the time kept with a new result.
TAnswer AnswerQuery(TScoreStore& store, std::string_view query, int64_t now);

// Windows-1251 bytes as UTF-8 with every character that means something in HTML escaped.
std::string HtmlText(std::string_view text);

// The whole page, UTF-8.
std::string TablePage(const std::vector<TScoreEntry>& best);

}  // namespace Scores
