#include "server/ScoreService.h"

#include <ctime>
#include <map>
#include <optional>

#include "media/Platform/Text.h"
#include "server/ScoreRecord.h"

namespace Scores {

namespace {

using TQuery = std::map<std::string, std::string, std::less<>>;

TAnswer Refused(int status, const std::string& reason) { return {status, "text/plain; charset=utf-8", reason + "\n"}; }

// "a&b=c": keys without "=" have an empty value. Taken literally, without
// percent-decoding: the game's queries need none. A key given twice is not a query of ours.
std::optional<TQuery> SplitQuery(std::string_view query) {
  TQuery result;
  while (!query.empty()) {
    const size_t end = query.find('&');
    const std::string_view item = query.substr(0, end);
    query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    const size_t equals = item.find('=');
    const std::string key(item.substr(0, equals));
    const std::string value(equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1));
    if (key.empty() || !result.emplace(key, value).second) return std::nullopt;
  }
  return result;
}

bool HasExactly(const TQuery& query, std::initializer_list<std::string_view> keys) {
  if (query.size() != keys.size()) return false;
  for (std::string_view key : keys)
    if (query.find(key) == query.end()) return false;
  return true;
}

TAnswer Submit(TScoreStore& store, const TQuery& query, int64_t now) {
  if (!HasExactly(query, {"hs", "prg", "inf"}) || !query.at("hs").empty())
    return Refused(400, "A submission is hs&prg=Sprayrush&inf=CODE");
  const auto record = DecodeCode(query.at("inf"));
  if (!record) return Refused(400, "The code is not a record of whole letters of the alphabet");
  std::string why;
  const auto result = ParseRecord(*record, &why);
  if (!result) return Refused(400, "The record is malformed: " + why);
  store.Add({result->Name, result->Score, result->AddInfo, now});
  return {200, "text/plain; charset=utf-8", "OK\n"};
}

std::string Date(int64_t time) {
  const std::time_t t = std::time_t(time);
  std::tm parts{};
  if (!gmtime_r(&t, &parts)) return "";
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y", &parts);
  return text;
}

// The colours of the game's menus: deep blue panels, light blue and teal rims, the
// orange-to-yellow titles, dark outlines.
constexpr std::string_view Style = R"(
body { margin: 0; min-height: 100vh; background: #0D2B5C linear-gradient(#144A8C, #0F3A74 50%, #0D2B5C);
  color: #F4FBFF; font-family: "DejaVu Sans", Verdana, Arial, sans-serif; }
main { max-width: 760px; margin: 0 auto; padding: 24px 16px; }
h1 { margin: 0; text-align: center; font-size: 56px; letter-spacing: 4px; color: #FFD23F;
  -webkit-text-stroke: 2px #14213D; text-shadow: 0 4px 0 #FF8C1A, 0 6px 0 #14213D; }
h2 { margin: 8px 0 20px; text-align: center; font-size: 22px; color: #3DDCFF; }
table { width: 100%; border-collapse: collapse; background: #0F3A74; border: 3px solid #3DDCFF;
  box-shadow: 0 0 0 3px #14213D, 6px 8px 0 3px #050E22; }
th { background: #FF8C1A; color: #14213D; padding: 8px 10px; text-align: left; border-bottom: 3px solid #14213D; }
td { padding: 6px 10px; border-top: 1px solid #1F7FD0; }
tr:nth-child(even) td { background: #144A8C; }
td.place { width: 3em; text-align: right; color: #3DDCFF; font-weight: bold; }
td.score { text-align: right; color: #FFD23F; font-weight: bold; }
th.score { text-align: right; }
td.name { font-weight: bold; }
td.date { color: #CFE6FA; white-space: nowrap; }
td.empty { text-align: center; color: #CFE6FA; padding: 24px; }
td.name, td.add { white-space: pre; }
)";

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string out;
  for (char c : Platform::Cp1251ToUtf8(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TablePage(const std::vector<TScoreEntry>& best) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Sprayrush: таблица рекордов</title>\n<style>";
  page += Style;
  page +=
      "</style>\n</head>\n<body>\n<main>\n<h1>SPRAYRUSH</h1>\n<h2>Таблица рекордов</h2>\n<table>\n"
      "<tr><th>Место</th><th>Имя</th><th class=\"score\">Очки</th><th>Инфо</th><th>Дата</th></tr>\n";
  size_t place = 0;
  for (const auto& entry : best) {
    page += "<tr><td class=\"place\">" + std::to_string(++place) + "</td><td class=\"name\">" + HtmlText(entry.Name) +
            "</td><td class=\"score\">" + std::to_string(entry.Score) + "</td><td class=\"add\">" +
            HtmlText(entry.AddInfo) + "</td><td class=\"date\">" + Date(entry.Time) + "</td></tr>\n";
  }
  if (best.empty()) page += "<tr><td class=\"empty\" colspan=\"5\">Результатов пока нет</td></tr>\n";
  page += "</table>\n</main>\n</body>\n</html>\n";
  return page;
}

TAnswer AnswerQuery(TScoreStore& store, std::string_view query, int64_t now) {
  const auto parts = SplitQuery(query);
  if (!parts) return Refused(400, "Malformed query");
  const auto game = parts->find("prg");
  if (game == parts->end()) return Refused(400, "Which game? prg= is missing");
  if (game->second != "Sprayrush") return Refused(404, "This table is for Sprayrush only");
  if (parts->count("hs")) return Submit(store, *parts, now);
  if (parts->count("show")) {
    if (!HasExactly(*parts, {"prg", "show", "type"}) || !parts->at("show").empty() || parts->at("type") != "0")
      return Refused(400, "The table is prg=Sprayrush&show&type=0");
    return {200, "text/html; charset=utf-8", TablePage(store.Best(TableRows))};
  }
  return Refused(400, "Neither a submission nor the table");
}

}  // namespace Scores
