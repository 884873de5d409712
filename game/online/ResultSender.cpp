#include "game/online/ResultSender.h"

#include "game/online/SubmitResult.h"

TResultSender::~TResultSender() { Wait(); }

void TResultSender::Start(THttpClient& client, std::string url) {
  Wait();
  Running = true;
  try {
    Worker = std::thread([this, &client, url = std::move(url)] {
      SubmitResult(client, url);
      Running = false;
    });
  } catch (...) {
    // No thread to be had: the result is not sent, as with any other failure.
    Running = false;
  }
}

bool TResultSender::Busy() const { return Running; }

void TResultSender::Wait() {
  if (Worker.joinable()) Worker.join();
}
