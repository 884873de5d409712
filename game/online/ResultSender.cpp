#include "game/online/ResultSender.h"

#include "http/HttpClient.h"

TResultSender::~TResultSender() { Wait(); }

void TResultSender::Start(THttpClient& client, std::string url) { Begin(client, url, nullptr); }

void TResultSender::StartReplay(THttpClient& client, std::string url, std::string replay) {
  Begin(client, url, &replay);
}

void TResultSender::Begin(THttpClient& client, const std::string& url, const std::string* body) {
  Wait();
  Client = &client;
  Running = true;
  client.Begin(url, body, "application/octet-stream", [this] { Running = false; });
}

bool TResultSender::Busy() const { return Running; }

void TResultSender::Wait() {
  if (Client) Client->Wait();
}
