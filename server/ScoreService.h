#pragma once
// The two questions the game's address answers: a submission, and the table (as the
// designed page, page by page, or as JSON for tools).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/HttpServer.h"
#include "server/ScoreRecord.h"
#include "server/ScoreStore.h"

namespace Scores {

// Rows on one page of the table.
constexpr size_t TableRows = 100;
// Deeper pages are refused: each costs a walk over the places before it.
constexpr size_t MaxTablePage = 100000;

struct TTableRequest {
  size_t Page = 1;  // from 1
  bool Json = false;
};

// What a query of GET /cgi/version.pl asks for.
struct TQueryAction {
  enum TKind { Refuse, Submit, Show } Kind = Refuse;
  TAnswer Answer;       // Refuse: a 4xx answer
  TSubmission Result;   // Submit
  TTableRequest Table;  // Show
};

// "hs&prg=Sprayrush&inf=CODE" is a submission; "prg=Sprayrush&show&type=0", with
// "&page=N" and "&format=json" as the reader likes, the table; anything else a 4xx
// answer. Keys in any order, each once, taken literally (the game's queries need no
// percent-decoding).
TQueryAction ReadQuery(std::string_view query);

// The table page or its JSON form from the store; 404 beyond the last page.
TAnswer TableAnswer(TScoreStore& store, const TTableRequest& table);

// Both questions at once, synchronously: a submission is stored with the time now.
TAnswer AnswerQuery(TScoreStore& store, std::string_view query, int64_t now);

// Windows-1251 bytes as UTF-8 with every character that means something in HTML escaped.
std::string HtmlText(std::string_view text);

// Where a page lies in the table.
struct TPagePlace {
  size_t Page = 1;
  bool HasNext = false;
};

// The whole page, UTF-8. The first page of a table of at most 100 results is the
// designed page as it is; others get links to the pages beside them.
std::string TablePage(const std::vector<TScoreEntry>& rows, const TPagePlace& place = {});
std::string TableJson(const std::vector<TScoreEntry>& rows, const TPagePlace& place = {});

}  // namespace Scores
