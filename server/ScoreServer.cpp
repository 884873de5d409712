#include "server/ScoreServer.h"

#include <chrono>
#include <ctime>
#include <iostream>

#include "server/ScoreService.h"

namespace Scores {

namespace {

TAnswer Plain(int status, const std::string& text, int retrySeconds = 0) {
  TAnswer answer{status, "text/plain; charset=utf-8", text + "\n"};
  if (retrySeconds > 0) answer.Headers.emplace_back("Retry-After", std::to_string(retrySeconds));
  return answer;
}

TAnswer Unavailable() { return Plain(503, "The table cannot be reached just now", 5); }
TAnswer Busy() { return Plain(503, "The table is busy; try again in a moment", 2); }

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TScoreServer::TScoreServer(std::unique_ptr<TScoreStore> store, TStoreWorkers::TOpen open, TServerSettings settings)
    : Settings(std::move(settings)),
      Workers(std::move(store), std::move(open), Settings.Workers),
      Submissions(Settings.Submissions),
      Pages(Settings.Pages),
      Http({{"/cgi/version.pl", {"GET", "HEAD"}, Settings.MaxQueryBodyBytes,
             [this](const TRequest& request, TReply reply) { AnswerQuery(request, std::move(reply)); }}},
           Settings.Http) {}

TScoreServer::~TScoreServer() { Stop(); }

int TScoreServer::Start() { return Http.Start(Settings.Bind, Settings.Port); }

void TScoreServer::Stop() {
  Workers.Stop();
  Http.Stop();
}

bool TScoreServer::Allowed(TRateLimit& limit, const TRequest& request, const TReply& reply, const char* what) {
  const int64_t now = SteadyMs();
  if (limit.Take(request.Client, now)) return true;
  reply(Plain(429, std::string("Too many ") + what + " from your address; try again later",
              limit.WaitSeconds(request.Client, now)));
  return false;
}

void TScoreServer::AnswerQuery(const TRequest& request, TReply reply) {
  TQueryAction action = ReadQuery(request.Query);
  switch (action.Kind) {
    case TQueryAction::Refuse:
      reply(action.Answer);
      return;
    case TQueryAction::Submit: {
      // Only a GET stores: a HEAD, a prefetch or a crawler's probe must not.
      if (request.Method != "GET") {
        TAnswer answer = Plain(405, "A result is sent with GET");
        answer.Headers.emplace_back("Allow", "GET");
        reply(answer);
        return;
      }
      if (!Allowed(Submissions, request, reply, "results")) return;
      const TSubmission& result = action.Result;
      const TScoreEntry entry{result.Name, result.Score, result.AddInfo, int64_t(std::time(nullptr))};
      if (!Workers.Add(entry, [reply](bool stored) { reply(stored ? Plain(200, "OK") : Unavailable()); }))
        reply(Busy());
      return;
    }
    case TQueryAction::Show: {
      if (!Allowed(Pages, request, reply, "pages")) return;
      const TTableRequest table = action.Table;
      const bool queued = Workers.Read([reply, table](TScoreStore* store) {
        if (!store) return reply(Unavailable());
        try {
          reply(TableAnswer(*store, table));
        } catch (const std::exception& e) {
          std::cerr << "sprayrush-scores: " << e.what() << std::endl;
          reply(Unavailable());
        }
      });
      if (!queued) reply(Busy());
      return;
    }
  }
}

}  // namespace Scores
