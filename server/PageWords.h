#pragma once
// The words of the table page, one table per language, UTF-8 (HTML entities allowed).
// The page speaks what the browser rates highest of these, Russian when it names none;
// "&lang=" in the address overrides it (the page's own links to the other languages).
#include <string_view>

namespace Scores {

struct TPageWords {
  std::string_view Code;  // lang= and <html lang>
  std::string_view Title, Heading, ProvenHeading;
  std::string_view Place, Name, Score, Info, Date;  // the columns
  std::string_view DateFormat;                      // strftime's
  std::string_view ProvenMark;  // the tick's title
  std::string_view NoResults, Higher, Lower, Places;
  std::string_view ProvenNote, AllResults, ProvenOnly;
  std::string_view Watch, WatchTitle, PlayInBrowser;  // when the server has the game's page
  std::string_view Language;  // its own name, for the links from the other languages' pages
};

inline constexpr TPageWords RussianPage{
    .Code = "ru",
    .Title = "Sprayrush: таблица рекордов",
    .Heading = "Таблица рекордов",
    .ProvenHeading = "Доказанные рекорды",
    .Place = "Место",
    .Name = "Имя",
    .Score = "Очки",
    .Info = "Инфо",
    .Date = "Дата",
    .DateFormat = "%d.%m.%Y",
    .ProvenMark = "Доказан: сервер повторил игру по её записи. Скачать запись",
    .NoResults = "Результатов пока нет",
    .Higher = "Выше",
    .Lower = "Ниже",
    .Places = "Места",
    .ProvenNote = "Счёт этих результатов сервер получил сам, повторив игру по записанным нажатиям. "
                  "Запись можно скачать (&#10004;) и посмотреть: sprayrush --replay ФАЙЛ.",
    .AllResults = "Все результаты",
    .ProvenOnly = "Только доказанные",
    .Watch = "смотреть",
    .WatchTitle = "Смотреть игру в браузере",
    .PlayInBrowser = "Играть в браузере",
    .Language = "Русский",
};

inline constexpr TPageWords EnglishPage{
    .Code = "en",
    .Title = "Sprayrush: high scores",
    .Heading = "High scores",
    .ProvenHeading = "Proven high scores",
    .Place = "Place",
    .Name = "Name",
    .Score = "Score",
    .Info = "Info",
    .Date = "Date",
    .DateFormat = "%Y-%m-%d",
    .ProvenMark = "Proven: the server played the game again from its recording. Download the recording",
    .NoResults = "No results yet",
    .Higher = "Higher",
    .Lower = "Lower",
    .Places = "Places",
    .ProvenNote = "The server worked these scores out itself, playing each game again from its recorded keys. "
                  "Download a recording (&#10004;) and watch it: sprayrush --replay FILE.",
    .AllResults = "All results",
    .ProvenOnly = "Proven only",
    .Watch = "watch",
    .WatchTitle = "Watch the game in the browser",
    .PlayInBrowser = "Play in the browser",
    .Language = "English",
};

}  // namespace Scores
