#pragma once
// The data FormCreate loads, read while the window opens: the picture libraries read
// and converted, the sound library read, the text faces opened, beside the main thread
// where there are threads (on two cores the start then waits for the window alone).
// Errors keep their order and their moment: FormCreate raises the first one where it
// would have raised it reading the files itself, before the window is shown.
#include <exception>
#include <memory>

#include "media/DXDraws/PictureCollection.h"
#include "media/DXSounds/WaveCollection.h"
#include "media/Platform/BackgroundWork.h"

class TStartupData {
 public:
  using TWhen = Platform::TBackgroundWork::TWhen;
  // Begins reading (Beside), or reads when the data is first taken (WhenWaitedFor). For a
  // re-play of the logic alone: the pictures' sizes, and no sounds.
  explicit TStartupData(TWhen when = TWhen::Beside, bool logicOnly = false);
  TStartupData(const TStartupData&) = delete;
  TStartupData& operator=(const TStartupData&) = delete;

  // Each waits for the reading to end and raises the error of its own file, if any.
  TLoadedPictures TakeMenuPictures();  // "Data\Res\Res1.dxg"
  TLoadedPictures TakeRacePictures();  // "Data\Res\Res3.dxg"
  TLoadedWaves TakeSounds();           // "Data\Res\Sounds.dxw"

 private:
  void Read();
  void Wait();

  TLoadedPictures MenuPictures, RacePictures;
  TLoadedWaves Sounds;
  // The first file that failed stops the reading, as it stops FormCreate.
  std::exception_ptr MenuError, RaceError, SoundError;
  bool LogicOnly;
  Platform::TBackgroundWork Work;
  bool Waited = false;
};
