#include "app/StartupData.h"

#include "game/race/Text.h"

TStartupData::TStartupData(TWhen when, bool logicOnly) : LogicOnly(logicOnly), Work([this] { Read(); }, when) {}

void TStartupData::Read() {
  // The game keeps pictures on their surfaces only (KeepPictures false).
  try {
    MenuPictures = TPictureCollection::ReadFile("Data\\Res\\Res1.dxg", false, LogicOnly);
  } catch (...) {
    MenuError = std::current_exception();
    return;
  }
  try {
    RacePictures = TPictureCollection::ReadFile("Data\\Res\\Res3.dxg", false, LogicOnly);
  } catch (...) {
    RaceError = std::current_exception();
    return;
  }
  if (!LogicOnly) {
    try {
      Sounds = TWaveCollection::ReadFile("Data\\Res\\Sounds.dxw");
    } catch (...) {
      SoundError = std::current_exception();
      return;
    }
  }
  // A face that cannot be opened is reported where FormCreate prepares the text styles.
  try {
    OpenTextFaces();
  } catch (...) {
  }
}

void TStartupData::Wait() {
  if (Waited) return;
  Waited = true;
  Work.Wait();
}

TLoadedPictures TStartupData::TakeMenuPictures() {
  Wait();
  if (MenuError) std::rethrow_exception(MenuError);
  return std::move(MenuPictures);
}

TLoadedPictures TStartupData::TakeRacePictures() {
  Wait();
  if (RaceError) std::rethrow_exception(RaceError);
  return std::move(RacePictures);
}

TLoadedWaves TStartupData::TakeSounds() {
  Wait();
  if (SoundError) std::rethrow_exception(SoundError);
  return std::move(Sounds);
}
