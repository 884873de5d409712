#pragma once
// English, for players who read no Russian: plain ASCII, short, as an arcade game says it.
#include "game/language/Texts.h"

inline constexpr TTexts EnglishTexts{
    .Level = "Level ",
    .Pause = "Paused",
    .TimeIsUp = "Time's up!",
    .TryAgain = "Try again!",
    .LeaveGame = "Quit the game?",
    .YourResult = "Your score: ",
    .EnterName = "Enter your name:",
    .SendResult = "Send your score",
    .ToWorldPage = "to the world",
    .Records = "high scores?",
    .Sending = "Sending...",
    .GameOver = "Game Over",
    .ClearRecords = "Clear high scores?",

    .SaveFailedOne = "A file could not be saved.",
    .SaveFailedMany = "Some files could not be saved.",
    .OldDataKept = "What was saved before is still on the disk, unharmed.",
    .NoFileName = "no file name was given",
    .FileInFolderPlace = "a file stands where its folder should be",
    .NoFolder = "its folder could not be made",
    .FolderInFilePlace = "a folder stands in its place",
    .NoWriteRight = "no permission to write",
    .ReadOnlyDisk = "the disk is write-protected",
    .DiskFull = "the disk is full",
    .DiskError = "disk error",
    .WriteError = "write error, code ",

    .ReplayUnreadable = "Cannot open the replay file:",
    .ReplayDamaged = "Cannot show the replay: the file is damaged or is not a game replay.",
    .ReplayOtherVersion = "Cannot show the replay: it was recorded by another version of the game.",
};
