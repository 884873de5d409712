#pragma once
// HTTP by hand on loopback, from any 127.x.y.z address: attackers come from addresses of
// their own so the server's per-address limits see them apart from the players.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "game/online/SubmitResult.h"

namespace ServerTest {

// A connected socket from the address to 127.0.0.1:port, or -1.
inline int ConnectFrom(const std::string& from, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, from.c_str(), &local.sin_addr);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(uint16_t(port));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

inline bool SendText(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

// Everything until the server closes, or nothing more comes for waitMs.
inline std::string ReceiveAll(int fd, int waitMs) {
  std::string text;
  char buffer[16384];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  return text;
}

// True when the server has closed the connection (end of stream or reset); what it sent
// before is read and dropped.
inline bool ClosedByServer(int fd) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
  }
}

struct TResponse {
  int Status = 0;  // 0: no answer
  std::string Head;
  std::string Body;
  double Ms = 0;  // from connecting to the end of the answer
};

inline TResponse ParseResponse(const std::string& text) {
  TResponse response;
  const size_t end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return response;
  response.Status = std::atoi(text.c_str() + 9);
  response.Head = text.substr(0, end);
  response.Body = text.substr(end + 4);
  return response;
}

// One request on a connection of its own (closed after the answer).
inline TResponse Exchange(int port, const std::string& request, const std::string& from = "127.0.0.1",
                          int waitMs = 30000) {
  const auto start = std::chrono::steady_clock::now();
  const int fd = ConnectFrom(from, port);
  if (fd < 0) return {};
  SendText(fd, request);
  TResponse response = ParseResponse(ReceiveAll(fd, waitMs));
  ::close(fd);
  response.Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return response;
}

inline std::string Request(const std::string& method, const std::string& target) {
  return method + " " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
}

// The path and query of a submission, as the game sends it.
inline std::string SubmitTarget(const std::string& name, int32_t score, const std::string& add) {
  const std::string url = SubmitUrl("x", EncodeBits(ToBitString(ResultRecord(name, score, add))));
  return url.substr(url.find("/cgi/"));
}

inline const std::string PageTarget = "/cgi/version.pl?prg=Sprayrush&show&type=0";

inline TResponse Fetch(int port, const std::string& target, const std::string& from = "127.0.0.1") {
  return Exchange(port, Request("GET", target), from);
}

// 127.a.b.c for a number n, counting from base: many addresses, none of them 127.0.0.1.
inline std::string Loopback(int base, int n) {
  return "127." + std::to_string(base) + "." + std::to_string((n >> 8) & 255) + "." + std::to_string(n & 255);
}

// Room for a few thousand sockets.
inline void RaiseFileLimit() {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
}

// How often part comes in text.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Peak resident memory of a process in MB, from /proc.
inline double PeakMemoryMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

}  // namespace ServerTest
