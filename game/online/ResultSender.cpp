#include "game/online/ResultSender.h"

#include "game/online/SubmitResult.h"
#include "http/HttpClient.h"

TResultSender::~TResultSender() { Wait(); }

void TResultSender::Start(THttpClient& client, std::string url) {
  Begin(client);
  client.Begin(url, nullptr, {}, [this](const THttpEnd&) { Running = false; });
}

void TResultSender::StartReplays(THttpClient& client, std::string address, std::vector<uint8_t> replay,
                                 int64_t startedAt) {
  Begin(client);
  SendReplays(client, address, replay, startedAt, [this] { Running = false; });
}

void TResultSender::Begin(THttpClient& client) {
  Wait();
  Client = &client;
  Running = true;
}

bool TResultSender::Busy() const { return Running; }

void TResultSender::Wait() {
  if (Client) Client->Wait();
}
