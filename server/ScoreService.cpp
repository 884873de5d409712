#include "server/ScoreService.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>

#include "media/Platform/Text.h"
#include "server/ScoreRecord.h"

namespace Scores {

namespace {

using TQuery = std::map<std::string, std::string, std::less<>>;

TAnswer Refused(int status, const std::string& reason) { return {status, "text/plain; charset=utf-8", reason + "\n"}; }

TQueryAction Refusal(int status, const std::string& reason) {
  TQueryAction action;
  action.Answer = Refused(status, reason);
  return action;
}

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

// Every required key and no key outside both lists.
bool HasKeys(const TQuery& query, std::initializer_list<std::string_view> required,
             std::initializer_list<std::string_view> optional = {}) {
  for (std::string_view key : required)
    if (query.find(key) == query.end()) return false;
  for (const auto& [key, value] : query)
    if (std::find(required.begin(), required.end(), key) == required.end() &&
        std::find(optional.begin(), optional.end(), key) == optional.end())
      return false;
  return true;
}

// 1 to limit, plain decimal digits.
std::optional<size_t> PageNumber(std::string_view digits, size_t limit) {
  if (digits.empty() || digits.size() > 9 || digits[0] == '0') return std::nullopt;
  size_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + size_t(c - '0');
  }
  if (value > limit) return std::nullopt;
  return value;
}

std::string Date(int64_t time, const TPageWords& words) {
  const std::time_t t = std::time_t(time);
  std::tm parts{};
  if (!gmtime_r(&t, &parts)) return "";
  char text[32];
  std::strftime(text, sizeof text, std::string(words.DateFormat).c_str(), &parts);
  return text;
}

constexpr const TPageWords* PageLanguages[] = {&RussianPage, &EnglishPage};

// A language's weight, "0.8" (0 to 1, at most three decimals), whatever the locale says of
// decimal points; 0 for anything else.
double Weight(std::string_view q) {
  double value = 0, scale = 1;
  bool point = false;
  for (char c : q) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (point) scale /= 10;
      value = value * (point ? 1 : 10) + (point ? (c - '0') * scale : c - '0');
    } else {
      return 0;
    }
  }
  return value <= 1 ? value : 0;
}

const TPageWords* WordsOfCode(std::string_view code) {
  for (const TPageWords* words : PageLanguages)
    if (words->Code == code) return words;
  return nullptr;
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
nav.pages { display: flex; justify-content: space-between; align-items: center; margin-top: 16px; color: #CFE6FA; }
nav.pages a { color: #FFD23F; font-weight: bold; text-decoration: none; }
nav.pages span { flex: 1; text-align: center; }
a.proven { color: #7CFC8A; text-decoration: none; margin-left: 6px; }
a.watch { color: #FFD23F; margin-left: 6px; font-size: 80%; }
p.views { text-align: center; color: #CFE6FA; margin-top: 16px; }
p.views a { color: #FFD23F; font-weight: bold; text-decoration: none; }
p.lang { margin: 0 0 8px; text-align: right; }
p.lang a { color: #FFD23F; font-weight: bold; text-decoration: none; }
)";

// A link to a page of the table; language: "" for the browser's own.
std::string PageLink(size_t page, bool provenOnly, std::string_view language, bool json = false) {
  return std::string("version.pl?prg=Sprayrush&amp;show&amp;type=") + (provenOnly ? "1" : "0") +
         (page > 1 ? "&amp;page=" + std::to_string(page) : "") + (json ? "&amp;format=json" : "") +
         (language.empty() ? "" : "&amp;lang=" + std::string(language));
}

// Windows-1251 bytes as a JSON string.
std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (char c : Platform::Cp1251ToUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (uint8_t(c) < 32 || c == '<' || c == '>' || c == '&') {
      // Markup characters too, so that the text stays text wherever it is pasted.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(uint8_t(c)));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

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

std::string ReplayLink(int64_t id) { return "/replays?id=" + std::to_string(id); }

std::string TablePage(const std::vector<TScoreEntry>& rows, const TPagePlace& place) {
  const size_t first = (place.Page - 1) * TableRows;
  const bool proven = place.ProvenOnly;
  const TPageWords& w = *place.Words;
  const std::string_view lang = place.WordsChosen ? w.Code : "";
  const auto text = [](std::string_view s) { return std::string(s); };
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"" + text(w.Code) + "\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>" + text(w.Title) + "</title>\n"
      "<link rel=\"alternate\" type=\"application/json\" href=\"" + PageLink(place.Page, proven, "", true) +
      "\">\n<style>";
  page += Style;
  page += "</style>\n</head>\n<body>\n<main>\n";
  page += "<p class=\"lang\">";
  for (const TPageWords* other : PageLanguages)
    if (other != &w)
      page += "<a href=\"" + PageLink(place.Page, proven, other->Code) + "\" hreflang=\"" + text(other->Code) +
              "\" lang=\"" + text(other->Code) + "\">" + text(other->Language) + "</a>";
  page += "</p>\n";
  page += "<h1>SPRAYRUSH</h1>\n";
  page += "<h2>" + text(proven ? w.ProvenHeading : w.Heading) + "</h2>\n";
  page += "<table>\n<tr><th>" + text(w.Place) + "</th><th>" + text(w.Name) + "</th><th class=\"score\">" +
          text(w.Score) + "</th><th>" + text(w.Info) + "</th><th>" + text(w.Date) + "</th></tr>\n";
  size_t number = first;
  for (const auto& entry : rows) {
    // The mark downloads the game behind the result, to watch with "sprayrush --replay".
    const std::string mark =
        entry.Proven ? "<a class=\"proven\" href=\".." + ReplayLink(entry.Id) + "\" download=\"sprayrush-" +
                           std::to_string(entry.Id) +
                           ".replay\" title=\"" + text(w.ProvenMark) + "\">&#10004;</a>" +
                           (place.WebGame ? "<a class=\"watch\" href=\"../play/?replay=" + std::to_string(entry.Id) +
                                                "\" target=\"_blank\" title=\"" + text(w.WatchTitle) + "\">" +
                                                text(w.Watch) + "</a>"
                                          : "")
                     : "";
    page += "<tr><td class=\"place\">" + std::to_string(++number) + "</td><td class=\"name\">" + HtmlText(entry.Name) +
            "</td><td class=\"score\">" + std::to_string(entry.Score) + mark + "</td><td class=\"add\">" +
            HtmlText(entry.AddInfo) + "</td><td class=\"date\">" + Date(entry.Time, w) + "</td></tr>\n";
  }
  if (rows.empty()) page += "<tr><td class=\"empty\" colspan=\"5\">" + text(w.NoResults) + "</td></tr>\n";
  page += "</table>\n";
  if (place.Page > 1 || place.HasNext) {
    page += "<nav class=\"pages\">";
    page += place.Page > 1
                ? "<a href=\"" + PageLink(place.Page - 1, proven, lang) + "\">&larr; " + text(w.Higher) + "</a>"
                : "<a></a>";
    page += "<span>" + text(w.Places) + " " + std::to_string(first + 1) + "&ndash;" + std::to_string(number) +
            "</span>";
    page += place.HasNext
                ? "<a href=\"" + PageLink(place.Page + 1, proven, lang) + "\">" + text(w.Lower) + " &rarr;</a>"
                : "<a></a>";
    page += "</nav>\n";
  }
  if (proven)
    page += "<p class=\"views\">" + text(w.ProvenNote) + " <a href=\"" + PageLink(1, false, lang) + "\">" +
            text(w.AllResults) + "</a></p>\n";
  else if (place.AnyProven)
    page += "<p class=\"views\"><a href=\"" + PageLink(1, true, lang) + "\">" + text(w.ProvenOnly) +
            " &#10004;</a></p>\n";
  if (place.WebGame)
    page += "<p class=\"views\"><a class=\"play\" href=\"../play/\">" + text(w.PlayInBrowser) + "</a></p>\n";
  page += "</main>\n</body>\n</html>\n";
  return page;
}

std::string ResultFieldsJson(const TScoreEntry& entry) {
  std::string json = "\"name\":" + JsonText(entry.Name) + ",\"score\":" + std::to_string(entry.Score) +
                     ",\"info\":" + JsonText(entry.AddInfo) + ",\"time\":" + std::to_string(entry.Time);
  if (entry.Proven) json += ",\"proven\":true,\"replay\":\"" + ReplayLink(entry.Id) + "\"";
  return json;
}

std::string TableJson(const std::vector<TScoreEntry>& rows, const TPagePlace& place) {
  size_t number = (place.Page - 1) * TableRows;
  std::string json = std::string("{\"game\":\"Sprayrush\",\"type\":") + (place.ProvenOnly ? "1" : "0") +
                     ",\"page\":" + std::to_string(place.Page) +
                     ",\"next_page\":" + (place.HasNext ? std::to_string(place.Page + 1) : "null") + ",\"results\":[";
  for (const auto& entry : rows) {
    json += (number == (place.Page - 1) * TableRows ? "\n" : ",\n");
    json += "{\"place\":" + std::to_string(++number) + "," + ResultFieldsJson(entry) + "}";
  }
  return json + "\n]}\n";
}

TQueryAction ReadQuery(std::string_view query) {
  const auto parts = SplitQuery(query);
  if (!parts) return Refusal(400, "Malformed query");
  const auto game = parts->find("prg");
  if (game == parts->end()) return Refusal(400, "Which game? prg= is missing");
  if (game->second != "Sprayrush") return Refusal(404, "This table is for Sprayrush only");
  TQueryAction action;
  if (parts->count("hs")) {
    if (!HasKeys(*parts, {"hs", "prg", "inf"}) || !parts->at("hs").empty())
      return Refusal(400, "A submission is hs&prg=Sprayrush&inf=CODE");
    const auto record = DecodeCode(parts->at("inf"));
    if (!record) return Refusal(400, "The code is not a record of whole letters of the alphabet");
    std::string why;
    const auto result = ParseRecord(*record, &why);
    if (!result) return Refusal(400, "The record is malformed: " + why);
    action.Kind = TQueryAction::Submit;
    action.Result = *result;
    return action;
  }
  if (parts->count("show")) {
    const auto type = parts->find("type");
    if (!HasKeys(*parts, {"prg", "show", "type"}, {"page", "format", "lang"}) || !parts->at("show").empty() ||
        (type->second != "0" && type->second != "1"))
      return Refusal(400, "The table is prg=Sprayrush&show&type=0 (type=1: the proven results), with &page=N, "
                          "&format=json and &lang=en|ru if you like");
    action.Kind = TQueryAction::Show;
    action.Table.ProvenOnly = type->second == "1";
    if (const auto page = parts->find("page"); page != parts->end()) {
      const auto number = PageNumber(page->second, MaxTablePage);
      if (!number) return Refusal(400, "page is a number from 1 to " + std::to_string(MaxTablePage));
      action.Table.Page = *number;
    }
    if (const auto lang = parts->find("lang"); lang != parts->end()) {
      action.Table.Words = WordsOfCode(lang->second);
      if (!action.Table.Words) return Refusal(400, "The page speaks lang=en or lang=ru");
      action.Table.WordsChosen = true;
    }
    if (const auto format = parts->find("format"); format != parts->end()) {
      if (format->second != "json") return Refusal(400, "The table comes as the page or as format=json");
      action.Table.Json = true;
    }
    return action;
  }
  return Refusal(400, "Neither a submission nor the table");
}

TAnswer TableAnswer(TScoreStore& store, const TTableRequest& table) {
  // One row more than a page tells whether another page follows, without counting them all.
  auto rows = store.Best({(table.Page - 1) * TableRows, TableRows + 1, table.ProvenOnly});
  TPagePlace place{table.Page, rows.size() > TableRows, table.ProvenOnly};
  place.WebGame = table.WebGame;
  place.Words = table.Words;
  place.WordsChosen = table.WordsChosen;
  if (place.HasNext) rows.pop_back();
  place.AnyProven = std::any_of(rows.begin(), rows.end(), [](const TScoreEntry& e) { return e.Proven; }) ||
                    (!table.ProvenOnly && !table.Json && !store.Best({0, 1, true}).empty());
  if (rows.empty() && table.Page > 1) return Refused(404, "The table has no page " + std::to_string(table.Page));
  if (table.Json) return {200, "application/json; charset=utf-8", TableJson(rows, place)};
  // The page has no scripts; should a name ever slip through unescaped, it still runs nothing.
  return {200, "text/html; charset=utf-8", TablePage(rows, place),
          {{"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"},
           {"Vary", "Accept-Language"}}};
}

const TPageWords& PageWordsFor(std::string_view acceptLanguage) {
  // "de-DE,de;q=0.9,en;q=0.8": each language with its weight (1 when none is given).
  const TPageWords* best = &RussianPage;
  double bestWeight = 0;
  while (!acceptLanguage.empty()) {
    const size_t comma = acceptLanguage.find(',');
    std::string_view item = acceptLanguage.substr(0, comma);
    acceptLanguage = comma == std::string_view::npos ? std::string_view() : acceptLanguage.substr(comma + 1);
    const size_t semicolon = item.find(';');
    std::string_view tag = item.substr(0, semicolon);
    double weight = 1;
    if (semicolon != std::string_view::npos) {
      std::string_view q = item.substr(semicolon + 1);
      q.remove_prefix(std::min(q.find_first_not_of(' '), q.size()));
      weight = q.rfind("q=", 0) == 0 ? Weight(q.substr(2)) : 0;
    }
    tag.remove_prefix(std::min(tag.find_first_not_of(' '), tag.size()));
    tag = tag.substr(0, std::min(tag.find_first_of(" -_"), tag.size()));
    std::string primary(tag);
    for (char& c : primary) c = char(std::tolower(static_cast<unsigned char>(c)));
    // The first of equal weights is the one asked for first.
    if (const TPageWords* words = WordsOfCode(primary); words && weight > bestWeight) {
      best = words;
      bestWeight = weight;
    }
  }
  return *best;
}

TAnswer AnswerQuery(TScoreStore& store, std::string_view query, int64_t now) {
  const TQueryAction action = ReadQuery(query);
  switch (action.Kind) {
    case TQueryAction::Submit:
      store.Add({{action.Result.Name, action.Result.Score, action.Result.AddInfo, now}});
      return {200, "text/plain; charset=utf-8", "OK\n"};
    case TQueryAction::Show:
      return TableAnswer(store, action.Table);
    case TQueryAction::Refuse:
      break;
  }
  return action.Answer;
}

}  // namespace Scores
