#pragma once
// Sends a result on a thread of its own, so the window keeps drawing the sending notice
// and answering the desktop while the request runs.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class THttpClient;

class TResultSender {
 public:
  TResultSender() = default;
  ~TResultSender();
  TResultSender(const TResultSender&) = delete;
  TResultSender& operator=(const TResultSender&) = delete;

  // Starts SubmitResult with the address; the client must outlive the request. A request
  // still running is first waited for, so no result is dropped.
  void Start(THttpClient& client, std::string url);
  // The same for a sent game's replay and those waiting from before (SendReplays, to the
  // server's address).
  void StartReplays(THttpClient& client, std::string address, std::vector<uint8_t> replay, int64_t startedAt);
  // True from Start until the request has ended, however it ended.
  bool Busy() const;
  void Wait();

 private:
  void Run(std::function<void()> request);
  std::thread Worker;
  std::atomic<bool> Running{false};
};
