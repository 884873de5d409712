#pragma once
// The two questions the game's address answers: a submission, and the table (as the
// designed page, page by page, or as JSON for tools).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/HttpServer.h"
#include "server/PageWords.h"
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
  bool ProvenOnly = false;  // type=1
  bool WebGame = false;     // the server has the game's page: the table links to it
  const TPageWords* Words = &RussianPage;
  bool WordsChosen = false;  // by lang= (the page's own link), which its links then carry
};

// What a query of GET /cgi/version.pl asks for.
struct TQueryAction {
  enum TKind { Refuse, Submit, Show } Kind = Refuse;
  TAnswer Answer;       // Refuse: a 4xx answer
  TSubmission Result;   // Submit
  TTableRequest Table;  // Show
};

// "hs&prg=Sprayrush&inf=CODE" is a submission; "prg=Sprayrush&show&type=0" (every result)
// or "type=1" (the proven ones), with "&page=N", "&format=json" and "&lang=en|ru" as the
// reader likes, the table; anything else a 4xx
// answer. Keys in any order, each once, taken literally (the game's queries need no
// percent-decoding).
TQueryAction ReadQuery(std::string_view query);

// The table page or its JSON form from the store; 404 beyond the last page.
TAnswer TableAnswer(TScoreStore& store, const TTableRequest& table);

// Both questions at once, synchronously: a submission is stored with the time now.
TAnswer AnswerQuery(TScoreStore& store, std::string_view query, int64_t now);

// The page's words for a browser's Accept-Language: the language it rates highest of
// those the page speaks, Russian when it names none of them.
const TPageWords& PageWordsFor(std::string_view acceptLanguage);

// Windows-1251 bytes as UTF-8 with every character that means something in HTML escaped.
std::string HtmlText(std::string_view text);

// Where a page lies in the table.
struct TPagePlace {
  size_t Page = 1;
  bool HasNext = false;
  bool ProvenOnly = false;
  // The table holds proven results: the page of every result links to their view.
  bool AnyProven = false;
  // The game's page is served at /play/: the page links to it, and every proven result
  // to watching it there.
  bool WebGame = false;
  const TPageWords* Words = &RussianPage;
  bool WordsChosen = false;  // the links keep the language
};

// Where a proven result's replay is downloaded: the path and query on this server.
std::string ReplayLink(int64_t id);

// The whole page, UTF-8. The first page of a table of at most 100 results, none of them
// proven, is the designed page as it is; others get links to the pages beside them, and a
// proven result a mark that downloads its replay.
std::string TablePage(const std::vector<TScoreEntry>& rows, const TPagePlace& place = {});
std::string TableJson(const std::vector<TScoreEntry>& rows, const TPagePlace& place = {});
// A result's fields as the JSON table has them, without braces; a proven one adds
// "proven":true and where its replay is.
std::string ResultFieldsJson(const TScoreEntry& entry);

}  // namespace Scores
