#pragma once
// The score table's web server: GET /cgi/version.pl answers the game's submissions and
// the table page; /play/ serves the game's page when there is one; POST /replays takes a game's replay, re-plays it and puts the result it
// computes on the table as proven, and GET /replays?id=N gives a proven result's replay.
// Routes, limits and the work beside the loop are kept apart: the database has its
// workers, the re-plays theirs.
#include <filesystem>
#include <memory>
#include <string>

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
  // Replays being received or waiting for their re-play, all together; with the largest
  // replays, a few dozen at once.
  size_t ReplayBodyBudgetBytes = size_t(64) << 20;
  // A replay proves the submission of its game from the same address made this long before.
  int64_t MatchSeconds = 3600;
  // The web build's folder, served at /play/ and linked from the table; empty: none.
  std::filesystem::path Web;
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
  // Takes one from the address's allowance, or answers 429 and returns false.
  static bool Allowed(TRateLimit& limit, const TRequest& request, const TReply& reply, const char* what);

  TServerSettings Settings;
  TStoreWorkers Workers;
  TRateLimit Submissions;
  TRateLimit Pages;
  TRateLimit Replays;
  TReplayChecker Checker;
  std::unique_ptr<TWebFiles> Web;
  THttpServer Http;
};

}  // namespace Scores
