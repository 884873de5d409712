#include "game/online/ResultSender.h"

#include "game/online/SubmitResult.h"

TResultSender::~TResultSender() { Wait(); }

void TResultSender::Start(THttpClient& client, std::string url) {
  Run([&client, url = std::move(url)] { SubmitResult(client, url); });
}

void TResultSender::StartReplays(THttpClient& client, std::string address, std::vector<uint8_t> replay,
                                 int64_t startedAt) {
  Run([&client, address = std::move(address), replay = std::move(replay), startedAt] {
    SendReplays(client, address, replay, startedAt);
  });
}

void TResultSender::Run(std::function<void()> request) {
  Wait();
  Running = true;
  try {
    Worker = std::thread([this, request = std::move(request)] {
      request();
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
