#pragma once
// Work done beside the main thread, where the platform has threads: the start-up reads
// its data while the window opens. Where it has none (a browser build without workers)
// the work runs when it is first waited for, on the main thread: the program does the
// same, only without the overlap.
#include <exception>
#include <functional>
#include <memory>

namespace Platform {

class TBackgroundWork {
 public:
  enum class TWhen { Beside, WhenWaitedFor };
  // Beside falls back to WhenWaitedFor where there are no threads.
  explicit TBackgroundWork(std::function<void()> work, TWhen when = TWhen::Beside);
  // Waits for work that has begun; an error nobody waited for is dropped.
  ~TBackgroundWork();
  TBackgroundWork(const TBackgroundWork&) = delete;
  TBackgroundWork& operator=(const TBackgroundWork&) = delete;

  // Returns when the work has ended (running it first if it has not begun); raises
  // what it raised, once.
  void Wait();

  // Whether work can run beside the main thread here.
  static bool Threads();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

}  // namespace Platform
