// sprayrush-scores --port N --bind ADDRESS --db FILE
// Serves the online score table until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "server/ScoreServer.h"

namespace {

constexpr const char* Usage =
    "usage: sprayrush-scores [--port N] [--bind ADDRESS] [--db FILE]\n"
    "  --port N          port to listen on, 0 for any free one (default 8080)\n"
    "  --bind ADDRESS    address to listen on (default 127.0.0.1)\n"
    "  --db FILE         SQLite file with the results, created when missing (default scores.db)\n";

struct TOptions {
  Scores::TServerSettings Server;
  std::string Database = "scores.db";
};

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::stoi(text);
  return port <= 65535;
}

// False, with a message, for anything it does not understand.
bool ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    if (name == "--help" || name == "-h") {
      std::cout << Usage;
      std::exit(0);
    }
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      std::cerr << "sprayrush-scores: " << name << " needs a value\n";
      return false;
    }
    if (name == "--port" && ParsePort(value, options.Server.Port)) continue;
    if (name == "--bind" && !value.empty()) {
      options.Server.Bind = value;
      continue;
    }
    if (name == "--db" && !value.empty()) {
      options.Database = value;
      continue;
    }
    std::cerr << "sprayrush-scores: bad option " << name << " '" << value << "'\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << Usage;
    return 2;
  }
  // Signals are taken by one thread that waits for them, never inside a worker.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    auto store = Scores::OpenSqliteStore(options.Database);
    Scores::TScoreServer server(*store, options.Server);
    const int port = server.Bind();
    std::cout << "sprayrush-scores: listening on " << options.Server.Bind << " port " << port << ", results in "
              << options.Database << std::endl;

    std::atomic<bool> finished{false};
    std::thread stopper([&] {
      int caught = 0;
      sigwait(&stopSignals, &caught);
      if (finished) return;
      std::cout << "sprayrush-scores: stopping" << std::endl;
      // The signal may come before the server has begun to serve and the first Stop be missed.
      while (!finished) {
        server.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    // However serving ends, the waiting thread is woken and joined before the server goes.
    struct TStopperGuard {
      std::thread& Thread;
      std::atomic<bool>& Finished;
      ~TStopperGuard() {
        Finished = true;
        pthread_kill(Thread.native_handle(), SIGTERM);
        Thread.join();
      }
    } guard{stopper, finished};
    server.Run();
  } catch (const std::exception& e) {
    std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    return 1;
  }
  std::cout << "sprayrush-scores: stopped" << std::endl;
  return 0;
}
