#pragma once
// The sound output component: opens the device and tells the wave libraries bound to it
// when their buffers can be made and when they must let go of them.
#include <stdexcept>
#include <vector>

// "%s cannot be made" with "Primary Buffer" when the device cannot be opened.
class EDirectSoundError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TDXSound;

enum class TDXSoundNotifyType { Initialize, Finalize, Destroy };

class TDXSoundListener {
 public:
  virtual ~TDXSoundListener() = default;
  virtual void DXSoundNotify(TDXSound& sender, TDXSoundNotifyType type) = 0;
};

class TDXSound {
 public:
  TDXSound() = default;
  ~TDXSound();
  TDXSound(const TDXSound&) = delete;
  TDXSound& operator=(const TDXSound&) = delete;

  // Opens the output and initialises the bound libraries; finalises first when already
  // initialised. Throws EDirectSoundError when there is no usable device.
  void Initialize();
  // Frees every buffer of the bound libraries (their items stay) and closes the output.
  void Finalize();
  bool Initialized() const { return IsInitialized; }

  // The self-initialisation once the main window exists. Without a device the game runs
  // silently, so the failure is swallowed here.
  void Loaded();

  void RegisterNotifyEvent(TDXSoundListener* listener);
  void UnRegisterNotifyEvent(TDXSoundListener* listener);

 private:
  void Notify(TDXSoundNotifyType type);

  bool IsInitialized = false;
  std::vector<TDXSoundListener*> Listeners;
};
