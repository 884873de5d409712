#pragma once
// A tiny TCP listener on 127.0.0.1 for watching what a client sends and answering it by
// hand: each connection's request head is kept and handed to a behaviour.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace Loopback {

inline void SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += size_t(n);
  }
}

// Reads until the blank line that ends a request or answer head, the peer closes, or
// nothing comes for waitMs.
inline std::string ReadHead(int fd, int waitMs = 5000) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) break;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, size_t(n));
  }
  return head;
}

// Reads everything until the peer closes or nothing comes for waitMs.
inline std::string ReadAll(int fd, int waitMs = 5000) {
  std::string text;
  char buffer[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) break;
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  return text;
}

// A connected socket to 127.0.0.1:port, or -1.
inline int Connect(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A port on 127.0.0.1 that nobody listens on (bound, then let go).
inline int DeadPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

class TListener {
 public:
  // Behaviour for one connection: the socket and the request head read from it. The
  // socket stays open until the listener ends, so doing nothing leaves the client waiting.
  using TBehaviour = std::function<void(int fd, const std::string& head)>;

  explicit TListener(TBehaviour behaviour) : Behaviour(std::move(behaviour)) {
    Socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(Socket, 16) != 0)
      throw std::runtime_error("listener could not start");
    socklen_t size = sizeof address;
    ::getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &size);
    Port = ntohs(address.sin_port);
    Thread = std::thread([this] { Run(); });
  }

  ~TListener() {
    Stop = true;
    Thread.join();
    for (int fd : Open) ::close(fd);
    ::close(Socket);
  }

  std::vector<std::string> Heads() {
    std::lock_guard<std::mutex> hold(Lock);
    return Requests;
  }

  int Port = 0;

 private:
  void Run() {
    while (!Stop) {
      pollfd p{Socket, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      int fd = ::accept(Socket, nullptr, nullptr);
      if (fd < 0) continue;
      Open.push_back(fd);
      std::string head = ReadHead(fd);
      {
        std::lock_guard<std::mutex> hold(Lock);
        Requests.push_back(head);
      }
      Behaviour(fd, head);
    }
  }

  TBehaviour Behaviour;
  int Socket = -1;
  std::atomic<bool> Stop{false};
  std::thread Thread;
  std::vector<int> Open;
  std::mutex Lock;
  std::vector<std::string> Requests;
};

// The behaviour of a plain server: one complete answer, then the connection is closed.
inline TListener::TBehaviour Answer(std::string answer) {
  return [answer](int fd, const std::string&) {
    SendAll(fd, answer);
    ::shutdown(fd, SHUT_RDWR);
  };
}

}  // namespace Loopback
