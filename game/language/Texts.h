#pragma once
// Every Russian text the game shows, written here in UTF-8 for the reader and turned
// into the game's Windows-1251 bytes while compiling.
#include <cstddef>
#include <string_view>

template <size_t N>
struct TCp1251Text {
  char Bytes[N]{};
  size_t Size = 0;
  constexpr operator std::string_view() const { return {Bytes, Size}; }
};

// ASCII and the Russian alphabet; anything else does not compile.
template <size_t N>
consteval TCp1251Text<N> Cp1251(const char (&utf8)[N]) {
  TCp1251Text<N> out;
  for (size_t i = 0; i + 1 < N;) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out.Bytes[out.Size++] = char(b);
      ++i;
      continue;
    }
    const auto c = static_cast<unsigned char>(utf8[i + 1]);
    unsigned code = 0;
    if (b == 0xD0 && c >= 0x90 && c <= 0xBF)
      code = 0xC0 + (c - 0x90);  // А..п
    else if (b == 0xD1 && c >= 0x80 && c <= 0x8F)
      code = 0xF0 + (c - 0x80);  // р..я
    else if (b == 0xD0 && c == 0x81)
      code = 0xA8;  // Ё
    else if (b == 0xD1 && c == 0x91)
      code = 0xB8;  // ё
    else
      throw "not a Russian letter";
    out.Bytes[out.Size++] = char(code);
    i += 2;
  }
  return out;
}

namespace Texts {
inline constexpr auto Level = Cp1251("Уровень ");
inline constexpr auto Pause = Cp1251("Пауза");
inline constexpr auto TimeIsUp = Cp1251("Время закончилось.");
inline constexpr auto TryAgain = Cp1251("Попробуй еще раз!");
inline constexpr auto LeaveGame = Cp1251("Выйти из игры?");
inline constexpr auto YourResult = Cp1251("Ваш результат ");
inline constexpr auto EnterName = Cp1251("Введите свое имя:");
inline constexpr auto SendResult = Cp1251("Отправить результат");
inline constexpr auto ToWorldPage = Cp1251("на страницу мировых");
inline constexpr auto Records = Cp1251("рекордов?");
inline constexpr auto Sending = Cp1251("Отправка...");
inline constexpr auto GameOver = Cp1251("Конец Игры");
inline constexpr auto ClearRecords = Cp1251("Очистить рекорды?");

// Saving on the way out: a heading, a line per file with its reason, and the comfort.
inline constexpr auto SaveFailedOne = Cp1251("Не удалось сохранить файл.");
inline constexpr auto SaveFailedMany = Cp1251("Не удалось сохранить файлы.");
inline constexpr auto OldDataKept = Cp1251("Прежние данные на диске не пострадали.");
inline constexpr auto NoFileName = Cp1251("не задано имя файла");
inline constexpr auto FileInFolderPlace = Cp1251("на месте его папки лежит файл");
inline constexpr auto NoFolder = Cp1251("не удалось создать его папку");
inline constexpr auto FolderInFilePlace = Cp1251("на его месте лежит папка");
inline constexpr auto NoWriteRight = Cp1251("нет прав на запись");
inline constexpr auto ReadOnlyDisk = Cp1251("диск защищён от записи");
inline constexpr auto DiskFull = Cp1251("на диске не хватает места");
inline constexpr auto DiskError = Cp1251("ошибка диска");
inline constexpr auto WriteError = Cp1251("ошибка записи, код ");

// Watching a replay named on the command line.
inline constexpr auto ReplayUnreadable = Cp1251("Не удается открыть файл повтора:");
inline constexpr auto ReplayDamaged = Cp1251("Не удается показать повтор: файл поврежден или это не повтор игры.");
inline constexpr auto ReplayOtherVersion = Cp1251("Не удается показать повтор: он записан другой версией игры.");
}  // namespace Texts
