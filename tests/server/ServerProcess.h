#pragma once
// The real score server program on a free loopback port, stopped when the handle goes,
// whatever the test did.
#include <fcntl.h>
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

  // quiet sends the program's error output away (a browser's is long and not ours).
  explicit TChild(const std::vector<std::string>& args, bool quiet = false) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
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

// The server on 127.0.0.1 with the given database, listening once constructed.
struct TServer {
  TChild Child;
  int Port = 0;

  explicit TServer(const std::filesystem::path& database)
      : Child({ServerProgram(), "--port", "0", "--bind", "127.0.0.1", "--db", database.string()}) {
    const auto line = Child.ReadLine(30000);
    const std::string mark = " port ";
    if (!line || line->find(mark) == std::string::npos) throw std::runtime_error("server did not start");
    Port = std::stoi(line->substr(line->find(mark) + mark.size()));
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
