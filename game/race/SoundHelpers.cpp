// The game plays effects only by name, and only while the player wants sound.
#include "app/MForm.h"
#include "media/DXSounds/WaveCollection.h"

void TMForm::PlaySound(std::string_view name) {
  if (!Options.SoundOn || !MDXWaveList) return;
  TWaveCollectionItem& item = MDXWaveList->Items.Find(name);
  item.Stop();
  item.Play(false);
}

void TMForm::StopSound(std::string_view name) {
  if (!Options.SoundOn || !MDXWaveList) return;
  MDXWaveList->Items.Find(name).Stop();
}
