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

// A replay kept to be proven when its turn comes; the game need not wait for it.
TAnswer Accepted() {
  return {202, "application/json; charset=utf-8",
          "{\"pending\":true,\"why\":\"The replay is kept and will be re-played soon\"}\n"};
}

// A proven result's row as the answer to its replay.
TAnswer RowAnswer(int status, const TScoreEntry& entry, bool merged) {
  TAnswer answer{status, "application/json; charset=utf-8",
                 "{\"id\":" + std::to_string(entry.Id) + "," + ResultFieldsJson(entry) +
                     ",\"merged\":" + (merged ? "true" : "false") + "}\n"};
  answer.Headers.emplace_back("Location", ReplayLink(entry.Id));
  return answer;
}

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TLater::TLater() : Thread([this] { Run(); }) {}

void TLater::Run() {
  std::unique_lock<std::mutex> hold(Lock);
  for (;;) {
    while (!Due.empty() && (Stopping || Due.begin()->first <= std::chrono::steady_clock::now())) {
      auto work = std::move(Due.begin()->second);
      Due.erase(Due.begin());
      hold.unlock();
      work();
      hold.lock();
    }
    if (Stopping) return;
    if (Due.empty())
      Wake.wait(hold);
    else
      Wake.wait_until(hold, Due.begin()->first);
  }
}

TLater::~TLater() { Stop(); }

void TLater::After(std::chrono::milliseconds wait, std::function<void()> work) {
  {
    std::lock_guard<std::mutex> hold(Lock);
    if (!Stopping) {
      Due.emplace(std::chrono::steady_clock::now() + wait, std::move(work));
      work = nullptr;
    }
  }
  if (work) return work();
  Wake.notify_one();
}

void TLater::Stop() {
  {
    std::lock_guard<std::mutex> hold(Lock);
    Stopping = true;
  }
  Wake.notify_one();
  if (Thread.joinable()) Thread.join();
}

TScoreServer::TScoreServer(std::unique_ptr<TScoreStore> store, TStoreWorkers::TOpen open, TServerSettings settings)
    : Settings(std::move(settings)),
      Open(open),
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
             Settings.ReplayBodyBudgetBytes, Settings.ReplayBodyBudgetPerAddressBytes},
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

int TScoreServer::Start() {
  // The replays kept from before go first, whatever their number.
  std::vector<TPendingReplay> kept;
  {
    std::lock_guard<std::mutex> hold(PendingLock);
    if (!PendingStore) PendingStore = Open();
    kept = PendingStore->Pending();
  }
  for (const TPendingReplay& replay : kept) Queue(replay.Id, replay.Client, [](TAnswer) {}, true);
  return Http.Start(Settings.Bind, Settings.Port);
}

void TScoreServer::Stop() {
  // Replays waiting stay kept for the next start; their senders hear so.
  Checker.Stop();
  Later.Stop();
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
  if (!Allowed(Pages, request, reply, "pages")) return;
  GiveReplay(request, std::stoll(query.substr(3)), std::move(reply));
}

void TScoreServer::GiveReplay(const TRequest& request, int64_t id, TReply reply) {
  const std::string client = request.Client;
  {
    std::lock_guard<std::mutex> hold(DownloadLock);
    const auto mine = DownloadingBy.find(client);
    if (Downloading >= Settings.DownloadBytes ||
        (mine != DownloadingBy.end() && mine->second >= Settings.DownloadBytesPerAddress))
      return reply(Plain(429, "Too many replays are being downloaded just now; try again in a moment", 10));
  }
  const bool queued = Workers.Read([this, reply, id, client](TScoreStore* store) {
    if (!store) return reply(Unavailable());
    try {
      std::shared_ptr<const std::string> bytes;
      {
        std::lock_guard<std::mutex> hold(DownloadLock);
        if (const auto sending = Sending.find(id); sending != Sending.end()) bytes = sending->second.lock();
      }
      if (!bytes) {
        auto stored = store->Replay(id);
        if (!stored) {
          if (store->AwaitsProof(id))
            return reply(Plain(202, "This result's replay waits for its re-play; it is proven soon"));
          return reply(Plain(404, "No proven result has that number"));
        }
        bytes = std::make_shared<const std::string>(std::move(*stored));
      }
      const size_t size = bytes->size();
      {
        std::lock_guard<std::mutex> hold(DownloadLock);
        std::erase_if(Sending, [](const auto& s) { return s.second.expired(); });
        Sending[id] = bytes;
        Downloading += size;
        DownloadingBy[client] += size;
      }
      TAnswer answer{200, "application/octet-stream", {}};
      answer.Shared = std::move(bytes);
      answer.Headers.emplace_back("Content-Disposition",
                                  "attachment; filename=\"sprayrush-" + std::to_string(id) + ".replay\"");
      answer.Done = [this, client, size] {
        std::lock_guard<std::mutex> hold(DownloadLock);
        Downloading -= size;
        if (auto mine = DownloadingBy.find(client); mine != DownloadingBy.end() && (mine->second -= size) == 0)
          DownloadingBy.erase(mine);
      };
      reply(std::move(answer));
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
  // What the file alone tells is answered before the disk or a re-play is spent on it.
  const std::string client = request.Client;
  const bool screening = Checker.Screen(std::move(request.Body), [this, reply, client](std::optional<TVerdict> refused,
                                                                                       TClaims claims, std::string replay) {
    if (refused) return reply(Plain(refused->Kind == TVerdict::Damaged ? 400 : 422, refused->Reason));
    Keep({0, client, int64_t(std::time(nullptr)), claims.Name, claims.Score, std::move(replay)}, reply);
  });
  if (!screening) reply(Busy());
}

void TScoreServer::Keep(TPendingReplay kept, TReply reply) {
  // Kept on the disk first, so that an answer of 202 is a promise; then its turn.
  const bool queued = Workers.Write([this, reply, kept = std::move(kept)](TScoreStore* store) {
    int64_t id = 0;
    try {
      id = store->AddPending(kept);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: a replay not kept: " << e.what() << std::endl;
      return reply(Unavailable());
    }
    const TReplayChecker::TTaken taken = Queue(id, kept.Client, reply, false);
    if (taken == TReplayChecker::Taken) {
      Later.After(std::chrono::milliseconds(int64_t(Settings.ReplayAnswerSeconds * 1000)),
                  [reply] { reply(Accepted()); });
      return;
    }
    try {
      store->DropPending(id);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    }
    if (taken == TReplayChecker::Stopped) return reply(Plain(503, "The server is stopping", 30));
    reply(Plain(429, taken == TReplayChecker::AddressFull
                         ? "Your address has replays waiting for their re-play; try again in a minute"
                         : "Too many replays are waiting for their re-play; try again in a minute",
                60));
  });
  if (!queued) reply(Busy());
}

std::optional<std::string> TScoreServer::LoadPending(int64_t id) {
  std::lock_guard<std::mutex> hold(PendingLock);
  try {
    if (!PendingStore) PendingStore = Open();
    return PendingStore->PendingBytes(id);
  } catch (const std::exception& e) {
    std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    return std::nullopt;
  }
}

TReplayChecker::TTaken TScoreServer::Queue(int64_t id, const std::string& client, TReply reply, bool forced) {
  return Checker.Check({client, [this, id] { return LoadPending(id); },
                        [this, id, client, reply](TVerdict verdict, std::string) {
                          Proven(id, client, std::move(verdict), reply);
                        }},
                       forced);
}

void TScoreServer::Proven(int64_t id, const std::string& client, TVerdict verdict, TReply reply) {
  // Whatever comes of it, a replay refused or proven waits no more.
  const auto drop = [this, id] {
    Workers.Write([id](TScoreStore* store) {
      try {
        store->DropPending(id);
      } catch (const std::exception& e) {
        std::cerr << "sprayrush-scores: " << e.what() << std::endl;
      }
    });
  };
  switch (verdict.Kind) {
    case TVerdict::Damaged: drop(); return reply(Plain(400, verdict.Reason));
    case TVerdict::Refused: drop(); return reply(Plain(422, verdict.Reason));
    case TVerdict::Unavailable:
      // Stopping: kept for the next start. Otherwise the runner failed us; the game sends it again.
      if (Checker.Stopping()) return reply(Accepted());
      drop();
      return reply(Plain(503, "The replay cannot be checked just now", 30));
    case TVerdict::Proven: break;
  }
  // The name and free text the game would have sent; a forged start cannot put more there.
  if (!PlainText(verdict.Name, MaxNameBytes)) {
    drop();
    return reply(Plain(422, "The replay's name is not one the game's name entry takes"));
  }
  if (!verdict.Race) {
    drop();
    return reply(Plain(422, "The replay's race does not end"));
  }
  TProvenResult result;
  const int64_t now = int64_t(std::time(nullptr));
  result.Entry = {verdict.Name, verdict.Score, KeptAddInfo(verdict.AddInfo), now, client};
  result.Game = verdict.Game;
  result.Race = *verdict.Race;
  result.Replay = std::move(verdict.Proof);
  result.MatchSince = now - Settings.MatchSeconds;
  result.Pending = id;
  result.StoreSince = now - 24 * 3600;
  result.StoreBytesPerAddress = Settings.StoredBytesPerAddress;
  result.StoreBytesPerName = Settings.StoredBytesPerName;
  auto store = [reply, result = std::move(result)](TScoreStore* store) {
    try {
      const TProvenStored stored = store->AddProven(result);
      switch (stored.How) {
        case TProvenStored::New: return reply(RowAnswer(201, stored.Entry, false));
        case TProvenStored::Merged: return reply(RowAnswer(201, stored.Entry, true));
        case TProvenStored::Again: return reply(RowAnswer(200, stored.Entry, false));
        case TProvenStored::SameRace: {
          TAnswer answer = RowAnswer(409, stored.Entry, false);
          answer.Body.insert(answer.Body.size() - 2, ",\"why\":\"This race is proven already, in this row\"");
          return reply(answer);
        }
        case TProvenStored::OverShare:
          return reply(Plain(429, "Your address or this name has stored as many replays as a day allows", 3600));
      }
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: a proven result not stored: " << e.what() << std::endl;
      reply(Unavailable());
    }
  };
  // Not written now: kept, it is proven again at the next start.
  if (!Workers.Write(std::move(store))) reply(Busy());
}

}  // namespace Scores
