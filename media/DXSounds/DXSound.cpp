#include "media/DXSounds/DXSound.h"

#include <algorithm>

#include "media/Platform/Audio.h"

TDXSound::~TDXSound() {
  Finalize();
  // Copy: a listener may unregister itself while it is told.
  for (TDXSoundListener* listener : std::vector(Listeners))
    listener->DXSoundNotify(*this, TDXSoundNotifyType::Destroy);
}

void TDXSound::Initialize() {
  Finalize();
  if (!Platform::Audio::Open()) throw EDirectSoundError("Primary Buffer cannot be made");
  IsInitialized = true;
  Notify(TDXSoundNotifyType::Initialize);
}

void TDXSound::Finalize() {
  if (!IsInitialized) return;
  Notify(TDXSoundNotifyType::Finalize);
  IsInitialized = false;
  Platform::Audio::Close();
}

void TDXSound::Loaded() {
  try {
    Initialize();
  } catch (const EDirectSoundError&) {
  }
}

void TDXSound::RegisterNotifyEvent(TDXSoundListener* listener) {
  if (std::find(Listeners.begin(), Listeners.end(), listener) == Listeners.end())
    Listeners.push_back(listener);
  if (IsInitialized) listener->DXSoundNotify(*this, TDXSoundNotifyType::Initialize);
}

void TDXSound::UnRegisterNotifyEvent(TDXSoundListener* listener) {
  std::erase(Listeners, listener);
}

void TDXSound::Notify(TDXSoundNotifyType type) {
  for (TDXSoundListener* listener : std::vector(Listeners)) listener->DXSoundNotify(*this, type);
}
