#pragma once
// The processes a benchmark starts and watches. A program may be started through a
// script (the Windows build through Wine), which runs it as a child: its CPU and memory
// are the whole tree's, and stopping it stops the tree.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace processes {

// The process and every process below it, parents first.
inline std::vector<pid_t> Tree(pid_t root) {
  std::map<pid_t, std::vector<pid_t>> children;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string line;
    if (!std::getline(in, line)) continue;
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    long ppid = 0;
    if (fields >> state >> ppid) children[pid_t(ppid)].push_back(pid_t(std::atol(name.c_str())));
  }
  std::vector<pid_t> tree = {root};
  for (size_t i = 0; i < tree.size(); ++i)
    for (pid_t child : children[tree[i]]) tree.push_back(child);
  return tree;
}

// SIGTERM to the tree (a quit request to an SDL program), then up to 5 s for the root
// to end, then SIGKILL to what is left of it. Collects the root; its wait status.
inline int StopTree(pid_t root) {
  const std::vector<pid_t> tree = Tree(root);
  for (pid_t pid : tree) ::kill(pid, SIGTERM);
  int raw = 0;
  for (int i = 0; i < 500 && ::waitpid(root, &raw, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (::waitpid(root, &raw, WNOHANG) == 0) {
    ::kill(root, SIGKILL);
    ::waitpid(root, &raw, 0);
  }
  // The rest are not our children: they were the tree's a moment ago.
  for (size_t i = 1; i < tree.size(); ++i) ::kill(tree[i], SIGKILL);
  return raw;
}

}  // namespace processes
