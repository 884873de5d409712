#pragma once
// Sends a result without waiting for it, so the window keeps drawing the sending notice
// and answering the desktop while the request runs.
#include <atomic>
#include <string>

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
  // The same for a game's replay (SendReplay's request).
  void StartReplay(THttpClient& client, std::string url, std::string replay);
  // True from Start until the request has ended, however it ended.
  bool Busy() const;
  void Wait();

 private:
  void Begin(THttpClient& client, const std::string& url, const std::string* body);
  THttpClient* Client = nullptr;
  std::atomic<bool> Running{false};
};
