#pragma once
// Sends a result without waiting for it, so the window keeps drawing the sending notice
// and answering the desktop while the request runs.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class THttpClient;

class TResultSender {
 public:
  TResultSender() = default;
  ~TResultSender();
  TResultSender(const TResultSender&) = delete;
  TResultSender& operator=(const TResultSender&) = delete;

  // Starts SubmitResult's request with the address; the client must outlive the request.
  // A request still running is first waited for, so no result is dropped.
  void Start(THttpClient& client, std::string url);
  // The same for a sent game's replay and those waiting from before (SendReplays, to the
  // server's address).
  void StartReplays(THttpClient& client, std::string address, std::vector<uint8_t> replay, int64_t startedAt);
  // True from Start until the request has ended, however it ended.
  bool Busy() const;
  void Wait();

 private:
  void Begin(THttpClient& client);
  THttpClient* Client = nullptr;
  std::atomic<bool> Running{false};
};
