#pragma once
// The score table's web server: GET /cgi/version.pl for submissions and the table page.
#include <cstddef>
#include <memory>
#include <string>

#include "server/ScoreStore.h"

namespace Scores {

struct TServerSettings {
  std::string Bind = "127.0.0.1";
  int Port = 8080;  // 0 takes any free port
  // Requests run on a fixed pool; a client that says nothing holds one worker until
  // the read time-out, so the pool is larger than the cores.
  size_t Threads = 32;
  int ReadTimeoutSeconds = 5;
  int KeepAliveSeconds = 2;
  // Our requests are GETs without a body.
  size_t MaxBodyBytes = 1024;
};

class TScoreServer {
 public:
  TScoreServer(TScoreStore& store, TServerSettings settings);
  ~TScoreServer();
  TScoreServer(const TScoreServer&) = delete;
  TScoreServer& operator=(const TScoreServer&) = delete;

  // Takes the address and port; returns the port in use. Throws std::runtime_error.
  int Bind();
  // Serves until Stop; requests under way are finished before it returns.
  void Run();
  // From any thread. A Stop that comes before Run has started serving may be missed:
  // repeat it until Run has returned.
  void Stop();

 private:
  class THttp;
  std::unique_ptr<THttp> Http;
  TScoreStore& Store;
  TServerSettings Settings;
};

}  // namespace Scores
