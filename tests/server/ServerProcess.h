#pragma once
// The real score server program on a free loopback port, stopped when the handle goes,
// whatever the test did.
#include <fcntl.h>
#include <pwd.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ServerTest {

// Runs a program with its standard output on a pipe; the caller reads and waits.
struct TChild {
  pid_t Pid = -1;
  int Output = -1;

  // Where the program's error output goes: the test's own, away (a browser's is long and
  // not ours), or into the pipe with its output (to read what it says when it fails).
  enum TErrors { ErrorsShown, ErrorsQuiet, ErrorsWithOutput };

  explicit TChild(const std::vector<std::string>& args, bool quiet = false)
      : TChild(args, quiet ? ErrorsQuiet : ErrorsShown) {}

  // folder, when given, is where the program starts.
  TChild(const std::vector<std::string>& args, TErrors errors, const std::string& folder = {}) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    if (errors == ErrorsQuiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (errors == ErrorsWithOutput) posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&Pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    Output = pipeEnds[0];
    if (rc != 0) {
      Pid = -1;
      ::close(Output);
      throw std::runtime_error("cannot start " + args[0]);
    }
  }

  ~TChild() {
    if (Pid > 0) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, nullptr, 0);
    }
    if (Output >= 0) ::close(Output);
  }

  // One line of output (without its newline), or nothing after waitMs or at the end.
  std::optional<std::string> ReadLine(int waitMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{Output, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return std::nullopt;
      char c;
      if (::read(Output, &c, 1) != 1) return std::nullopt;
      if (c == '\n') return line;
      line += c;
    }
  }

  // Everything until the program closes its output, at most waitMs.
  std::string ReadAll(int waitMs) {
    std::string all;
    while (auto line = ReadLine(waitMs)) all += *line + "\n";
    return all;
  }

  // The exit status after the signal; -1 when it had to be killed after waitMs.
  int Stop(int signal, int waitMs = 30000) {
    ::kill(Pid, signal);
    return Wait(waitMs);
  }

  int Wait(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int status = 0;
    while (::waitpid(Pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, &status, 0);
        Pid = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

inline std::string ServerProgram() { return SPRAYRUSH_BINARY_DIR "/server/sprayrush-scores"; }

// The user a test runs programs as that must not run as root (a database server, a server
// that must not be able to write a file): nobody when the test runs as root, as in CI.
struct TUnprivileged {
  bool Needed = ::geteuid() == 0;
  uid_t Uid = 65534;
  gid_t Gid = 65534;
  TUnprivileged() {
    if (const passwd* user = Needed ? ::getpwnam("nobody") : nullptr) {
      Uid = user->pw_uid;
      Gid = user->pw_gid;
    }
  }
  // The command line run as that user. A program given a death signal gets it when the
  // test's process ends, however it ends, so none is left running.
  std::vector<std::string> Command(std::vector<std::string> args, const std::string& deathSignal = {}) const {
    if (!Needed && deathSignal.empty()) return args;
    std::vector<std::string> wrapped = {"/usr/bin/setpriv"};
    if (Needed)
      wrapped.insert(wrapped.end(),
                     {"--reuid=" + std::to_string(Uid), "--regid=" + std::to_string(Gid), "--clear-groups"});
    if (!deathSignal.empty()) wrapped.push_back("--pdeathsig=" + deathSignal);
    wrapped.push_back("--");
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return wrapped;
  }
  // The folder becomes the user's own.
  void Give(const std::filesystem::path& folder) const {
    if (Needed && ::chown(folder.c_str(), Uid, Gid) != 0) throw std::runtime_error("cannot chown " + folder.string());
  }
};

// The server on 127.0.0.1 with the given database (a file or a URI), listening once
// constructed, unless told to wait: then Listening() waits for it.
struct TServer {
  TChild Child;
  int Port = 0;

  // prefix comes before the program (another user), options after its own.
  explicit TServer(const std::string& database, bool wait = true, std::vector<std::string> prefix = {},
                   const std::vector<std::string>& options = {})
      : Child(Command(database, std::move(prefix), options)) {
    if (wait) Listening();
  }
  explicit TServer(const std::filesystem::path& database) : TServer(database.string()) {}

  void Listening() {
    const auto line = Child.ReadLine(30000);
    const std::string mark = " port ";
    if (!line || line->find(mark) == std::string::npos) throw std::runtime_error("server did not start");
    Port = std::stoi(line->substr(line->find(mark) + mark.size()));
  }

  static std::vector<std::string> Command(const std::string& database, std::vector<std::string> prefix,
                                          const std::vector<std::string>& options) {
    // No web game unless a test gives one: a built one in the tree must not change the page.
    prefix.insert(prefix.end(), {ServerProgram(), "--port", "0", "--bind", "127.0.0.1", "--db", database, "--web", "none"});
    prefix.insert(prefix.end(), options.begin(), options.end());
    return prefix;
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(Port); }
  std::string PageUrl() const {
    return "http://" + Address() + "/cgi/version.pl?prg=Sprayrush&show&type=0";
  }
};

// A folder of its own for one test, removed afterwards.
struct TTempDir {
  std::filesystem::path Path;
  TTempDir() {
    Path = std::filesystem::temp_directory_path() /
           ("sprayrush-server-" + std::to_string(::getpid()) + "-" + std::to_string(Counter()++));
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  static int& Counter() {
    static int count = 0;
    return count;
  }
};

}  // namespace ServerTest
