#pragma once
// The game's own language: every text as the game has always said it.
#include "game/language/Texts.h"

inline constexpr TTexts RussianTexts{
    .Level = "Уровень ",
    .Pause = "Пауза",
    .TimeIsUp = "Время закончилось.",
    .TryAgain = "Попробуй еще раз!",
    .LeaveGame = "Выйти из игры?",
    .YourResult = "Ваш результат ",
    .EnterName = "Введите свое имя:",
    .SendResult = "Отправить результат",
    .ToWorldPage = "на страницу мировых",
    .Records = "рекордов?",
    .Sending = "Отправка...",
    .GameOver = "Конец Игры",
    .ClearRecords = "Очистить рекорды?",

    .SaveFailedOne = "Не удалось сохранить файл.",
    .SaveFailedMany = "Не удалось сохранить файлы.",
    .OldDataKept = "Прежние данные на диске не пострадали.",
    .NoFileName = "не задано имя файла",
    .FileInFolderPlace = "на месте его папки лежит файл",
    .NoFolder = "не удалось создать его папку",
    .FolderInFilePlace = "на его месте лежит папка",
    .NoWriteRight = "нет прав на запись",
    .ReadOnlyDisk = "диск защищён от записи",
    .DiskFull = "на диске не хватает места",
    .DiskError = "ошибка диска",
    .WriteError = "ошибка записи, код ",

    .ReplayUnreadable = "Не удается открыть файл повтора:",
    .ReplayDamaged = "Не удается показать повтор: файл поврежден или это не повтор игры.",
    .ReplayOtherVersion = "Не удается показать повтор: он записан другой версией игры.",
};
