#pragma once
// An HTTP/1.1 server on one event loop (libmicrohttpd, epoll) for the open internet: slow,
// idle and hostile clients cost a little memory each and hold nobody up. Every request is
// bounded in head size, body size and time; connections are limited in all and per
// address. Handlers answer at once or later from a thread of their own, so nothing slow
// ever runs on the loop.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Scores {

struct TAnswer {
  int Status = 200;
  std::string ContentType = "text/plain; charset=utf-8";
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers = {};
};

struct TRequest {
  std::string Method;
  std::string Path;   // as sent, up to "?"
  std::string Query;  // as sent, after "?", not decoded
  // Whom per-address limits count: an IPv4 address, or the /64 network of an IPv6 one
  // (one home gets a whole /64). Behind a trusted proxy, the client it names.
  std::string Client;
  std::string AcceptLanguage;  // the header as sent; the table page speaks by it
  std::string Body;
  // The headers a file's answer depends on.
  std::string AcceptEncoding, IfNoneMatch;
};

// Give the answer exactly once, from any thread; later calls are ignored.
using TReply = std::function<void(TAnswer)>;
// The request is the handler's to keep (a body moves on without a copy).
using THandler = std::function<void(TRequest, TReply)>;

struct TRoute {
  std::string Path;  // a path ending in "/" takes every path below it too
  std::vector<std::string> Methods;  // others are answered 405
  size_t MaxBodyBytes = 0;           // a longer body is answered 413, unread
  THandler Handler;
  // The bodies of this route's requests held at once, from their head until their answer
  // (0: no limit beyond MaxBodyBytes). A request that would go beyond it is answered 429
  // before its body is read, so large bodies cannot fill the memory however many come.
  size_t BodyBudgetBytes = 0;
};

// Every figure here is a choice; the README tells why each is what it is.
struct THttpLimits {
  // Connections at once, all clients together; each costs a few kilobytes.
  unsigned Connections = 4000;
  // Connections at once from one address; beyond it a connection gets 429 and is closed.
  // A home network behind one address (a few players, each browser opening six) stays
  // far below it.
  unsigned ConnectionsPerAddress = 64;
  // The request line and headers together; beyond them 414 or 431. Holds the longest
  // submission the game can send (a 4096-byte free text makes a 6.7 KB request line).
  size_t HeadBytes = 16 * 1024;
  // From the connection (or the previous answer) to the whole request, head and body:
  // a client that trickles its request is cut off here.
  int RequestSeconds = 10;
  // To send one answer: a client that reads it a byte at a time is cut off here.
  int AnswerSeconds = 30;
  // Nothing sent or received for this long closes a connection.
  int IdleSeconds = 10;
  // Load balancers or proxies in front: requests from them are counted by the address
  // at the end of their X-Forwarded-For, and they have no connection limit of their own.
  std::vector<std::string> TrustedProxies = {};
};

class THttpServer {
 public:
  THttpServer(std::vector<TRoute> routes, THttpLimits limits);
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Listens on the address (a numeric IPv4 or IPv6 address, or a host name) and port
  // (0: any free one) and serves; returns the port. Throws std::runtime_error with the
  // reason, e.g. a port already in use.
  int Start(const std::string& bind, int port);
  // Closes every connection and stops. Every reply must have been given first: it waits
  // a little for replies under way.
  void Stop();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

// The count key of an address given as text ("192.0.2.1", "2001:db8::1"); empty when the
// text is no address.
std::string AddressKey(const std::string& address);

}  // namespace Scores
