#include "media/Platform/BackgroundWork.h"

#include <thread>
#include <utility>

namespace Platform {

struct TBackgroundWork::TImpl {
  std::function<void()> Work;
  std::thread Thread;
  std::exception_ptr Error;

  void Run() {
    try {
      if (auto work = std::exchange(Work, nullptr)) work();
    } catch (...) {
      Error = std::current_exception();
    }
  }
};

bool TBackgroundWork::Threads() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  return false;
#else
  return true;
#endif
}

TBackgroundWork::TBackgroundWork(std::function<void()> work, TWhen when) : Impl(std::make_unique<TImpl>()) {
  Impl->Work = std::move(work);
  if (when == TWhen::Beside && Threads()) Impl->Thread = std::thread([impl = Impl.get()] { impl->Run(); });
}

TBackgroundWork::~TBackgroundWork() {
  if (Impl->Thread.joinable()) Impl->Thread.join();
}

void TBackgroundWork::Wait() {
  if (Impl->Thread.joinable())
    Impl->Thread.join();
  else if (Impl->Work)
    Impl->Run();
  if (Impl->Error) std::rethrow_exception(std::exchange(Impl->Error, nullptr));
}

}  // namespace Platform
