// sprayrush-scores --port N --bind ADDRESS --db FILE|URI [--trusted-proxy ADDRESS]...
//                  [--replay-runner PATH] [--replay-workers N] [--replay-queue N] [--web DIR]
// Serves the online score table until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "server/ScoreServer.h"

namespace {

constexpr const char* Usage =
    "usage: sprayrush-scores [--port N] [--bind ADDRESS] [--db FILE|URI] [--trusted-proxy ADDRESS]...\n"
    "  --port N          port to listen on, 0 for any free one (default 8080)\n"
    "  --bind ADDRESS    address to listen on (default 127.0.0.1)\n"
    "  --db FILE|URI     SQLite file with the results, created when missing (default scores.db),\n"
    "                    or a PostgreSQL database: postgresql://user@host:port/dbname\n"
    "  --trusted-proxy ADDRESS\n"
    "                    a load balancer in front: its requests are counted by the client\n"
    "                    address it puts last in X-Forwarded-For (may be given again)\n"
    "  --replay-runner PATH\n"
    "                    the game's headless runner that re-plays the replays sent (default:\n"
    "                    sprayrush-run beside this program, or in ../tools as built)\n"
    "  --replay-workers N  replays re-played at once (default: half the cores, at least 1)\n"
    "  --replay-queue N  replays waiting for their re-play; more get 429 (default 16)\n"
    "  --web DIR         the web game's folder (tools/build-web.sh), served at /play/ (default:\n"
    "                    web beside this program, or build-web/dist of its source tree as\n"
    "                    built, when there; --web none serves none)\n";

// Stopping may take this long; then the process goes whatever it was waiting for. Every
// result acknowledged so far is committed already.
constexpr auto StopDeadline = std::chrono::milliseconds(1500);

struct TOptions {
  Scores::TServerSettings Server;
  std::string Database = "scores.db";
  std::string Web;  // empty: the default
};

// Plain decimal digits, at most this many: nothing std::stoul could throw on.
bool Digits(const std::string& text, size_t most) {
  return !text.empty() && text.size() <= most && text.find_first_not_of("0123456789") == std::string::npos;
}

bool ParseCount(const std::string& text, size_t& count) {
  if (!Digits(text, 4)) return false;
  count = std::stoul(text);
  return count > 0;
}

// The runner beside this program (an installed server), else where the build puts it.
std::string DefaultRunner() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
  for (const auto& candidate : {self / "sprayrush-run", self.parent_path() / "tools" / "sprayrush-run"})
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  return (self / "sprayrush-run").string();
}

// The web game installed beside this program, else the one built beside this build.
std::filesystem::path DefaultWeb() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
  for (const auto& candidate : {self / "web", self.parent_path().parent_path() / "build-web" / "dist"})
    if (std::filesystem::exists(candidate / "index.html", ec)) return candidate;
  return {};
}

bool ParsePort(const std::string& text, int& port) {
  if (!Digits(text, 5)) return false;
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
    if (name == "--replay-runner" && !value.empty()) {
      options.Server.Checker.Runner = value;
      continue;
    }
    if (name == "--web" && !value.empty()) {
      options.Web = value;
      continue;
    }
    if (name == "--replay-workers" && ParseCount(value, options.Server.Checker.Workers)) continue;
    if (name == "--replay-queue" && ParseCount(value, options.Server.Checker.MaxWaiting)) continue;
    if (name == "--trusted-proxy" && !Scores::AddressKey(value).empty()) {
      options.Server.Http.TrustedProxies.push_back(value);
      continue;
    }
    std::cerr << "sprayrush-scores: bad option " << name << " '" << value << "'\n";
    return false;
  }
  return true;
}

// Every connection is a file; take all the system allows and keep the connection limit
// below it, with room for the database's own files.
void FitConnectionsToFiles(Scores::THttpLimits& limits) {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return;
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  getrlimit(RLIMIT_NOFILE, &files);
  if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < limits.Connections + 64u)
    limits.Connections = unsigned(std::max<rlim_t>(files.rlim_cur, 128) - 64);
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  options.Server.Checker.Workers = std::max(1u, std::thread::hardware_concurrency() / 2);
  if (!ParseOptions(argc, argv, options)) {
    std::cerr << Usage;
    return 1;
  }
  if (options.Server.Checker.Runner.empty()) options.Server.Checker.Runner = DefaultRunner();
  options.Server.Web = options.Web.empty()   ? DefaultWeb()
                       : options.Web == "none" ? std::filesystem::path()
                                               : std::filesystem::path(options.Web);
  // Replays are part of the table: without the runner the server would take them and
  // prove none.
  if (::access(options.Server.Checker.Runner.c_str(), X_OK) != 0) {
    std::cerr << "sprayrush-scores: the replay runner " << options.Server.Checker.Runner
              << " cannot be run; build the game (sprayrush-run) or give --replay-runner PATH" << std::endl;
    return 1;
  }
  // Signals are taken by the main thread, which waits for them; every thread started
  // after this inherits the block.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  FitConnectionsToFiles(options.Server.Http);

  try {
    const std::string database = options.Database;
    auto store = Scores::OpenStore(database);
    Scores::TScoreServer server(std::move(store), [database] { return Scores::OpenStore(database); },
                                options.Server);
    const int port = server.Start();
    std::cout << "sprayrush-scores: listening on " << options.Server.Bind << " port " << port << ", results in "
              << (Scores::IsPostgresUri(database) ? "PostgreSQL" : database)
              << (options.Server.Web.empty() ? "" : ", the web game at /play/ from " + options.Server.Web.string())
              << std::endl;

    int caught = 0;
    sigwait(&stopSignals, &caught);
    std::cout << "sprayrush-scores: stopping" << std::endl;
    std::thread([] {
      std::this_thread::sleep_for(StopDeadline);
      std::cerr << "sprayrush-scores: stopping took too long; leaving what was under way" << std::endl;
      std::_Exit(1);
    }).detach();
    server.Stop();
  } catch (const std::exception& e) {
    std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    return 1;
  }
  std::cout << "sprayrush-scores: stopped" << std::endl;
  return 0;
}
