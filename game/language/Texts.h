#pragma once
// Every text the game draws or tells, one field each; each language fills a table of them
// (Russian.h, English.h). Written in UTF-8 for the reader and turned into the game's
// Windows-1251 bytes while compiling.
#include <cstddef>
#include <iterator>
#include <string_view>

class TGameText {
 public:
  // ASCII and the Russian alphabet; anything else, or a text too long, does not compile.
  // No default: a table that leaves a text out does not compile either.
  template <size_t N>
  consteval TGameText(const char (&utf8)[N]) {
    for (size_t i = 0; i + 1 < N;) {
      if (FSize == Capacity) throw "text too long";
      const auto b = static_cast<unsigned char>(utf8[i]);
      if (b < 0x80) {
        FBytes[FSize++] = char(b);
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
      FBytes[FSize++] = char(code);
      i += 2;
    }
  }
  constexpr operator std::string_view() const { return {FBytes, FSize}; }

 private:
  static constexpr size_t Capacity = 96;
  char FBytes[Capacity]{};
  size_t FSize = 0;
};

struct TTexts {
  // The race's banners and questions.
  TGameText Level;  // followed by the level number
  TGameText Pause;
  TGameText TimeIsUp, TryAgain;
  TGameText LeaveGame;   // leaving the race, and the program
  TGameText YourResult;  // followed by the score
  TGameText EnterName;
  TGameText SendResult, ToWorldPage, Records;  // the send question's three lines
  TGameText Sending;
  TGameText GameOver;
  TGameText ClearRecords;

  // Saving on the way out: a heading, a line per file with its reason, and the comfort.
  TGameText SaveFailedOne, SaveFailedMany, OldDataKept;
  TGameText NoFileName, FileInFolderPlace, NoFolder, FolderInFilePlace, NoWriteRight, ReadOnlyDisk, DiskFull,
      DiskError;
  TGameText WriteError;  // followed by the system's number

  // Watching a replay named on the command line.
  TGameText ReplayUnreadable;  // followed by the file's name on a line of its own
  TGameText ReplayDamaged, ReplayOtherVersion;
};

// Every field once, so that a test can hold each language's table to all of them.
inline constexpr TGameText TTexts::*AllTexts[] = {
    &TTexts::Level, &TTexts::Pause, &TTexts::TimeIsUp, &TTexts::TryAgain, &TTexts::LeaveGame,
    &TTexts::YourResult, &TTexts::EnterName, &TTexts::SendResult, &TTexts::ToWorldPage, &TTexts::Records,
    &TTexts::Sending, &TTexts::GameOver, &TTexts::ClearRecords, &TTexts::SaveFailedOne,
    &TTexts::SaveFailedMany, &TTexts::OldDataKept, &TTexts::NoFileName, &TTexts::FileInFolderPlace,
    &TTexts::NoFolder, &TTexts::FolderInFilePlace, &TTexts::NoWriteRight, &TTexts::ReadOnlyDisk,
    &TTexts::DiskFull, &TTexts::DiskError, &TTexts::WriteError, &TTexts::ReplayUnreadable,
    &TTexts::ReplayDamaged, &TTexts::ReplayOtherVersion,
};
static_assert(std::size(AllTexts) * sizeof(TGameText) == sizeof(TTexts), "a text is missing from AllTexts");
