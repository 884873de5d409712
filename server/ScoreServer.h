#pragma once
// The score table's web server: GET /cgi/version.pl answers the game's submissions and
// the table page. Routes, limits and the database work are kept apart, so another route
// (with its own body limit and its own workers) is one more entry in the list.
#include <memory>
#include <string>

#include "server/HttpServer.h"
#include "server/RateLimit.h"
#include "server/StoreWorkers.h"

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
  // Takes one from the address's allowance, or answers 429 and returns false.
  static bool Allowed(TRateLimit& limit, const TRequest& request, const TReply& reply, const char* what);

  TServerSettings Settings;
  TStoreWorkers Workers;
  TRateLimit Submissions;
  TRateLimit Pages;
  THttpServer Http;
};

}  // namespace Scores
