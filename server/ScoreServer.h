#pragma once
// The score table's web server: GET /cgi/version.pl answers the game's submissions and
// the table page; /play/ serves the game's page when there is one; POST /replays takes a
// game's replay, keeps it until it is re-played and puts the result it computes on the
// table as proven, and GET /replays?id=N gives a proven result's replay. Routes, limits and
// the work beside the loop are kept apart: the database has its workers, the re-plays theirs.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "server/HttpServer.h"
#include "server/RateLimit.h"
#include "server/ReplayChecker.h"
#include "server/StoreWorkers.h"
#include "server/WebFiles.h"

namespace Scores {

struct TServerSettings {
  std::string Bind = "127.0.0.1";
  int Port = 8080;  // 0 takes any free port
  THttpLimits Http;
  TRateSettings Submissions;
  // Pages per address: far more than a reader clicks through, and a deep page costs a walk
  // over the places before it, so one address cannot keep the readers busy.
  TRateSettings Pages{60, 0.25};
  TWorkerSettings Workers;
  // The game's requests are GETs without a body.
  size_t MaxQueryBodyBytes = 1024;
  // Replays per address: one a game from a player, so a household or a LAN party is far
  // below it; every one costs a re-play.
  TRateSettings Replays{30, 6};
  TReplaySettings Checker;
  // Replays being received, all together and from one address: with the largest
  // replays, a few dozen at once, two of them from one address.
  size_t ReplayBodyBudgetBytes = size_t(64) << 20;
  size_t ReplayBodyBudgetPerAddressBytes = size_t(4) << 20;
  // A replay proves the submission of its game from the same address made this long before.
  int64_t MatchSeconds = 3600;
  // A replay's sender is answered with its proof when it comes this soon (the game gives
  // up after 5 s), else with 202: it is kept and proven when its turn comes.
  double ReplayAnswerSeconds = 3;
  // Replays stored in a day by one address and under one name: hundreds of games each.
  size_t StoredBytesPerAddress = size_t(8) << 20;
  size_t StoredBytesPerName = size_t(8) << 20;
  // Replays being downloaded at once, all together and by one address; readers of one
  // replay share its bytes.
  size_t DownloadBytes = size_t(32) << 20;
  size_t DownloadBytesPerAddress = size_t(4) << 20;
  // The web build's folder, served at /play/ and linked from the table; empty: none.
  std::filesystem::path Web;
};

// Work to run after a while unless stopped first; Stop runs what is left at once.
class TLater {
 public:
  TLater();
  ~TLater();
  TLater(const TLater&) = delete;
  TLater& operator=(const TLater&) = delete;
  void After(std::chrono::milliseconds wait, std::function<void()> work);
  void Stop();

 private:
  void Run();
  std::mutex Lock;
  std::condition_variable Wake;
  bool Stopping = false;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> Due;
  std::thread Thread;
};

class TScoreServer {
 public:
  // store is the database opened and checked at start; open makes more connections to it.
  TScoreServer(std::unique_ptr<TScoreStore> store, TStoreWorkers::TOpen open, TServerSettings settings);
  ~TScoreServer();
  TScoreServer(const TScoreServer&) = delete;
  TScoreServer& operator=(const TScoreServer&) = delete;

  // Listens and serves; returns the port in use. Throws std::runtime_error.
  int Start();
  // Answers what is under way (results already taken are committed), then closes every
  // connection.
  void Stop();

 private:
  void AnswerQuery(const TRequest& request, TReply reply);
  void AnswerReplays(TRequest request, TReply reply);
  void TakeReplay(TRequest request, TReply reply);
  void Keep(TPendingReplay replay, TReply reply);
  void GiveReplay(const TRequest& request, int64_t id, TReply reply);
  // The waiting replay kept as id goes to the re-plays; reply has the outcome.
  TReplayChecker::TTaken Queue(int64_t id, const std::string& client, TReply reply, bool forced);
  void Proven(int64_t id, const std::string& client, TVerdict verdict, TReply reply);
  std::optional<std::string> LoadPending(int64_t id);
  // Takes one from the address's allowance, or answers 429 and returns false.
  static bool Allowed(TRateLimit& limit, const TRequest& request, const TReply& reply, const char* what);

  TServerSettings Settings;
  TStoreWorkers::TOpen Open;
  TStoreWorkers Workers;
  TRateLimit Submissions;
  TRateLimit Pages;
  TRateLimit Replays;
  TReplayChecker Checker;
  std::unique_ptr<TWebFiles> Web;
  TLater Later;
  // The re-plays' own connection, for the bytes of the replays waiting.
  std::mutex PendingLock;
  std::unique_ptr<TScoreStore> PendingStore;
  // Downloads under way: their bytes by address and in all, and the replays they send.
  std::mutex DownloadLock;
  std::map<std::string, size_t> DownloadingBy;
  size_t Downloading = 0;
  std::map<int64_t, std::weak_ptr<const std::string>> Sending;
  THttpServer Http;
};

}  // namespace Scores
