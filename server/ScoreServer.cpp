#include "server/ScoreServer.h"

#include <chrono>
#include <ctime>
#include <iostream>

#include "game/replay/ReplayFile.h"
#include "server/ScoreRecord.h"
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
      Replays(Settings.Replays),
      Checker(Settings.Checker),
      Web(Settings.Web.empty() ? nullptr : std::make_unique<TWebFiles>(Settings.Web)),
      Http({{"/cgi/version.pl", {"GET", "HEAD"}, Settings.MaxQueryBodyBytes,
             [this](const TRequest& request, TReply reply) { AnswerQuery(request, std::move(reply)); }},
            {"/replays", {"POST", "GET", "HEAD"}, MaxReplayBytes,
             [this](TRequest request, TReply reply) { AnswerReplays(std::move(request), std::move(reply)); },
             Settings.ReplayBodyBudgetBytes},
            {"/play/", {"GET", "HEAD"}, 0,
             [this](const TRequest& request, TReply reply) {
               reply(Web ? Web->Answer(request) : Plain(404, "This server has no web game"));
             }},
            {"/play", {"GET", "HEAD"}, 0,
             [](const TRequest&, TReply reply) {
               reply({301, "text/plain; charset=utf-8", "/play/\n", {{"Location", "/play/"}}});
             }}},
           Settings.Http) {}

TScoreServer::~TScoreServer() { Stop(); }

int TScoreServer::Start() { return Http.Start(Settings.Bind, Settings.Port); }

void TScoreServer::Stop() {
  Checker.Stop();
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
      const TScoreEntry entry{result.Name, result.Score, result.AddInfo, int64_t(std::time(nullptr)), request.Client};
      if (!Workers.Add(entry, [reply](bool stored) { reply(stored ? Plain(200, "OK") : Unavailable()); }))
        reply(Busy());
      return;
    }
    case TQueryAction::Show: {
      if (!Allowed(Pages, request, reply, "pages")) return;
      TTableRequest table = action.Table;
      table.WebGame = Web != nullptr;
      if (!table.WordsChosen) table.Words = &PageWordsFor(request.AcceptLanguage);
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

void TScoreServer::AnswerReplays(TRequest request, TReply reply) {
  if (request.Method == "POST") return TakeReplay(std::move(request), std::move(reply));
  // GET /replays?id=N: a proven result's replay, counted as a page.
  const std::string& query = request.Query;
  const bool valid = query.rfind("id=", 0) == 0 && query.size() > 3 && query.size() <= 21 && query[3] != '0' &&
                     query.find_first_not_of("0123456789", 3) == std::string::npos;
  if (!valid) return reply(Plain(400, "A replay is /replays?id=N, from the table page"));
  const int64_t id = std::stoll(query.substr(3));
  if (!Allowed(Pages, request, reply, "pages")) return;
  const bool queued = Workers.Read([reply, id](TScoreStore* store) {
    if (!store) return reply(Unavailable());
    try {
      const auto bytes = store->Replay(id);
      if (!bytes) return reply(Plain(404, "No proven result has that number"));
      TAnswer answer{200, "application/octet-stream", *bytes};
      answer.Headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"sprayrush-" + std::to_string(id) + ".replay\"");
      reply(answer);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << e.what() << std::endl;
      reply(Unavailable());
    }
  });
  if (!queued) reply(Busy());
}

void TScoreServer::TakeReplay(TRequest request, TReply reply) {
  if (request.Body.empty()) return reply(Plain(400, "A replay is sent as the body of the request"));
  if (!Allowed(Replays, request, reply, "replays")) return;
  const std::string client = request.Client;
  const int64_t matchSeconds = Settings.MatchSeconds;
  TStoreWorkers& workers = Workers;
  auto proven = [reply, client, matchSeconds, &workers](TVerdict verdict, std::string replay) {
    switch (verdict.Kind) {
      case TVerdict::Damaged: return reply(Plain(400, verdict.Reason));
      case TVerdict::Refused: return reply(Plain(422, verdict.Reason));
      case TVerdict::Unavailable: return reply(Plain(503, "The replay cannot be checked just now", 30));
      case TVerdict::Proven: break;
    }
    // The name and free text the game would have sent; a forged start cannot put more there.
    if (!PlainText(verdict.Name, MaxNameBytes))
      return reply(Plain(422, "The replay's name is not one the game's name entry takes"));
    TProvenResult result;
    const int64_t now = int64_t(std::time(nullptr));
    result.Entry = {verdict.Name, verdict.Score, KeptAddInfo(verdict.AddInfo), now, client};
    result.Game = verdict.Game;
    result.Replay = std::move(replay);
    result.MatchSince = now - matchSeconds;
    auto store = [reply, result = std::move(result)](TScoreStore* store) {
      try {
        const TProvenStored stored = store->AddProven(result);
        TAnswer answer{stored.How == TProvenStored::Again ? 200 : 201, "application/json; charset=utf-8",
                       "{\"id\":" + std::to_string(stored.Entry.Id) + "," + ResultFieldsJson(stored.Entry) +
                           ",\"merged\":" + (stored.How == TProvenStored::Merged ? "true" : "false") + "}\n"};
        answer.Headers.emplace_back("Location", ReplayLink(stored.Entry.Id));
        reply(answer);
      } catch (const std::exception& e) {
        std::cerr << "sprayrush-scores: a proven result not stored: " << e.what() << std::endl;
        reply(Unavailable());
      }
    };
    if (!workers.Write(std::move(store))) reply(Busy());
  };
  if (!Checker.Check(std::move(request.Body), std::move(proven)))
    reply(Plain(429, "Too many replays are waiting for their re-play; try again in a minute", 60));
}

}  // namespace Scores
