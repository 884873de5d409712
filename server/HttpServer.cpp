#include "server/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

namespace Scores {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string KeyOf(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    return text;
  }
  if (address->sa_family == AF_INET6) {
    in6_addr bytes = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&bytes)) {
      in_addr v4;
      std::memcpy(&v4, bytes.s6_addr + 12, 4);
      inet_ntop(AF_INET, &v4, text, sizeof text);
      return text;
    }
    std::memset(bytes.s6_addr + 8, 0, 8);
    inet_ntop(AF_INET6, &bytes, text, sizeof text);
    return std::string(text) + "/64";
  }
  return "?";
}

// A request's way through its connection: the reaper holds each phase to its deadline,
// except the handler's, whose work is bounded where it is queued.
enum TPhase { Reading, Processing, Answering };

// One TCP connection: our socket context.
struct TConnection {
  int Fd = -1;
  std::string Client;
  bool Counted = false;  // in its address's count
  bool Refused = false;  // over its address's limit: answered 429, being closed
  bool Cut = false;      // shut by the reaper
  std::atomic<int> Phase{Reading};
  std::atomic<int64_t> Since{0};
  std::string Uri;  // the current request's target as sent
};

// What a handler's reply and the loop share; it lives as long as either holds it.
struct TRequestState {
  std::mutex Lock;
  MHD_Connection* Connection = nullptr;
  bool Replied = false;
  bool Suspended = false;
  bool Gone = false;  // the request has ended; a late reply goes nowhere
  TAnswer Answer;
};

// One request on the loop: MHD's request context.
struct TRequestContext {
  const TRoute* Route = nullptr;
  size_t Reserved = 0;  // of the route's body budget
  TRequest Request;
  bool TooLarge = false;
  std::shared_ptr<TRequestState> State;
};

TConnection* ConnectionOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<TConnection*>(info->socket_context) : nullptr;
}

TAnswer Plain(int status, const std::string& text) { return {status, "text/plain; charset=utf-8", text + "\n"}; }

// Sent on a connection over its address's limit, before it is closed unread.
void SendTooMany(int fd) {
  static const std::string Text = [] {
    const std::string body = "Too many connections from your address\n";
    return "HTTP/1.1 429 Too Many Requests\r\nContent-Type: text/plain; charset=utf-8\r\nRetry-After: 10\r\n"
           "Connection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  }();
  [[maybe_unused]] const ssize_t sent = ::send(fd, Text.data(), Text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

std::string AddressKey(const std::string& address) {
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
    return KeyOf(reinterpret_cast<const sockaddr*>(&v4));
  }
  if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
    return KeyOf(reinterpret_cast<const sockaddr*>(&v6));
  }
  return {};
}

struct THttpServer::TImpl {
  std::vector<TRoute> Routes;
  THttpLimits Limits;
  std::set<std::string> Trusted;
  MHD_Daemon* Daemon = nullptr;
  int ListenFd = -1;

  std::mutex Lock;  // Open and PerAddress, between the loop and the reaper
  std::set<TConnection*> Open;
  std::map<std::string, unsigned> PerAddress;
  std::map<const TRoute*, size_t> BodiesHeld;  // on the loop only
  std::atomic<int> Suspended{0};

  std::thread Reaper;
  std::mutex ReaperLock;
  std::condition_variable ReaperWake;
  bool Stopping = false;

  // ---- on the loop --------------------------------------------------------------------

  static void Notify(void* self, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code) {
    static_cast<TImpl*>(self)->OnConnection(connection, context, code);
  }

  void OnConnection(MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto conn = std::make_unique<TConnection>();
      const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
      conn->Fd = fd ? fd->connect_fd : -1;
      conn->Client = address && address->client_addr ? KeyOf(address->client_addr) : "?";
      conn->Since = NowMs();
      std::lock_guard<std::mutex> hold(Lock);
      if (!Trusted.count(conn->Client)) {
        unsigned& count = PerAddress[conn->Client];
        if (count >= Limits.ConnectionsPerAddress) {
          conn->Refused = true;
          SendTooMany(conn->Fd);
          ::shutdown(conn->Fd, SHUT_RDWR);
        } else {
          ++count;
          conn->Counted = true;
        }
      }
      if (!conn->Refused) Open.insert(conn.get());
      *context = conn.release();
      return;
    }
    auto* conn = static_cast<TConnection*>(*context);
    if (!conn) return;
    {
      std::lock_guard<std::mutex> hold(Lock);
      if (conn->Counted) {
        const auto count = PerAddress.find(conn->Client);
        if (count != PerAddress.end() && --count->second == 0) PerAddress.erase(count);
      }
      Open.erase(conn);
    }
    delete conn;
    *context = nullptr;
  }

  static void* UriLog(void*, const char* uri, MHD_Connection* connection) {
    if (TConnection* conn = ConnectionOf(connection)) conn->Uri = uri ? uri : "";
    return nullptr;
  }

  static void Completed(void* self, MHD_Connection* connection, void** context, MHD_RequestTerminationCode) {
    auto* request = static_cast<TRequestContext*>(*context);
    if (request && request->State) {
      std::lock_guard<std::mutex> hold(request->State->Lock);
      request->State->Gone = true;
    }
    if (request && request->Reserved) static_cast<TImpl*>(self)->BodiesHeld[request->Route] -= request->Reserved;
    delete request;
    *context = nullptr;
    if (TConnection* conn = ConnectionOf(connection)) {
      conn->Since = NowMs();
      conn->Phase = Reading;
    }
  }

  static MHD_Result Access(void* self, MHD_Connection* connection, const char* url, const char* method, const char*,
                           const char* upload, size_t* uploadSize, void** context) {
    return static_cast<TImpl*>(self)->OnRequest(connection, url, method, upload, uploadSize, context);
  }

  MHD_Result OnRequest(MHD_Connection* connection, const char* url, const char* method, const char* upload,
                       size_t* uploadSize, void** context) {
    TConnection* conn = ConnectionOf(connection);
    if (!conn || conn->Refused) return MHD_NO;
    auto* request = static_cast<TRequestContext*>(*context);
    if (!request) {
      request = new TRequestContext;
      *context = request;
      if (auto early = Begin(*request, *conn, connection, url, method)) return Queue(connection, *conn, *early);
      return MHD_YES;
    }
    if (*uploadSize != 0) {
      if (!request->TooLarge) {
        if (request->Request.Body.size() + *uploadSize > request->Route->MaxBodyBytes) {
          request->TooLarge = true;
          request->Request.Body.clear();
        } else {
          request->Request.Body.append(upload, *uploadSize);
        }
      }
      *uploadSize = 0;
      return MHD_YES;
    }
    if (request->TooLarge) return Queue(connection, *conn, Plain(413, "The request body is too large"));
    if (!request->State) return Handle(*request, *conn, connection);
    // Resumed: the reply has come.
    std::unique_lock<std::mutex> hold(request->State->Lock);
    if (!request->State->Replied) {
      MHD_suspend_connection(connection);
      return MHD_YES;
    }
    if (request->State->Suspended) {
      request->State->Suspended = false;
      --Suspended;
    }
    TAnswer answer = std::move(request->State->Answer);
    hold.unlock();
    return Queue(connection, *conn, answer);
  }

  // The head is in: find the route; an answer when the request goes no further.
  std::optional<TAnswer> Begin(TRequestContext& request, TConnection& conn, MHD_Connection* connection,
                               const char* url, const char* method) {
    const std::string& target = conn.Uri.empty() ? std::string(url) : conn.Uri;
    const size_t question = target.find('?');
    request.Request.Method = method;
    request.Request.Path = target.substr(0, question);
    request.Request.Query = question == std::string::npos ? std::string() : target.substr(question + 1);
    request.Request.Client = conn.Client;
    for (auto [header, field] : {std::pair{"Accept-Encoding", &TRequest::AcceptEncoding},
                                 std::pair{"Accept-Language", &TRequest::AcceptLanguage},
                                 std::pair{"If-None-Match", &TRequest::IfNoneMatch}})
      if (const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, header))
        request.Request.*field = value;
    if (Trusted.count(conn.Client)) {
      if (const char* forwarded = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Forwarded-For")) {
        // The proxy appends the address it saw; what comes before is the client's word.
        std::string last = forwarded;
        last = last.substr(last.rfind(',') == std::string::npos ? 0 : last.rfind(',') + 1);
        last.erase(0, last.find_first_not_of(' '));
        last.erase(last.find_last_not_of(' ') + 1);
        if (const std::string key = AddressKey(last); !key.empty()) request.Request.Client = key;
      }
    }
    const auto route = std::find_if(Routes.begin(), Routes.end(),
                                    [&](const TRoute& r) {
                                      const std::string& path = request.Request.Path;
                                      return r.Path == path || (r.Path.ends_with('/') && path.starts_with(r.Path));
                                    });
    if (route == Routes.end()) return Plain(404, "Nothing here: the table is /cgi/version.pl?prg=Sprayrush&show&type=0");
    request.Route = &*route;
    if (std::find(route->Methods.begin(), route->Methods.end(), request.Request.Method) == route->Methods.end()) {
      TAnswer answer = Plain(405, "Not with " + request.Request.Method);
      std::string allowed;
      for (const auto& m : route->Methods) allowed += (allowed.empty() ? "" : ", ") + m;
      answer.Headers.emplace_back("Allow", allowed);
      return answer;
    }
    // A chunked body may be as long as the route takes; a request with neither has none.
    size_t announced =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) ? route->MaxBodyBytes
                                                                                                     : 0;
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length) {
      errno = 0;
      char* end = nullptr;
      const unsigned long long bytes = std::strtoull(length, &end, 10);
      if (errno != 0 || bytes > route->MaxBodyBytes) return Plain(413, "The request body is too large");
      announced = size_t(bytes);
    }
    if (route->BodyBudgetBytes && announced > 0) {
      size_t& held = BodiesHeld[&*route];
      if (held + announced > route->BodyBudgetBytes) {
        TAnswer answer = Plain(429, "Too many uploads at once just now; try again in a minute");
        answer.Headers.emplace_back("Retry-After", "60");
        return answer;
      }
      held += announced;
      request.Reserved = announced;
    }
    return std::nullopt;
  }

  // The whole request is in: the handler answers now or later.
  MHD_Result Handle(TRequestContext& request, TConnection& conn, MHD_Connection* connection) {
    auto state = std::make_shared<TRequestState>();
    state->Connection = connection;
    request.State = state;
    conn.Phase = Processing;
    TReply reply = [state](TAnswer answer) {
      std::lock_guard<std::mutex> hold(state->Lock);
      if (state->Replied || state->Gone) return;
      state->Answer = std::move(answer);
      state->Replied = true;
      if (state->Suspended) MHD_resume_connection(state->Connection);
    };
    try {
      request.Route->Handler(std::move(request.Request), reply);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << e.what() << std::endl;
      reply(Plain(500, "The table cannot be reached just now"));
    }
    std::unique_lock<std::mutex> hold(state->Lock);
    if (!state->Replied) {
      MHD_suspend_connection(connection);
      state->Suspended = true;
      ++Suspended;
      return MHD_YES;
    }
    TAnswer answer = std::move(state->Answer);
    hold.unlock();
    return Queue(connection, conn, answer);
  }

  MHD_Result Queue(MHD_Connection* connection, TConnection& conn, const TAnswer& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.Body.size(), const_cast<char*>(answer.Body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.ContentType.c_str());
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    // Answers are not kept unless they say how (the game's page).
    if (std::none_of(answer.Headers.begin(), answer.Headers.end(), [](const auto& h) { return h.first == "Cache-Control"; }))
      MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    for (const auto& [name, value] : answer.Headers) MHD_add_response_header(response, name.c_str(), value.c_str());
    conn.Since = NowMs();
    conn.Phase = Answering;
    const MHD_Result queued = MHD_queue_response(connection, unsigned(answer.Status), response);
    MHD_destroy_response(response);
    return queued;
  }

  // ---- beside the loop ----------------------------------------------------------------

  // Shuts connections that overran their phase; the loop then sees them closed and lets
  // them go. The lock keeps a closed connection's number from being reused meanwhile.
  void Reap() {
    for (;;) {
      {
        std::unique_lock<std::mutex> hold(ReaperLock);
        if (ReaperWake.wait_for(hold, std::chrono::milliseconds(200), [this] { return Stopping; })) return;
      }
      const int64_t now = NowMs();
      std::lock_guard<std::mutex> hold(Lock);
      for (TConnection* conn : Open) {
        if (conn->Cut) continue;
        const int phase = conn->Phase;
        const int64_t limit = phase == Reading     ? Limits.RequestSeconds * 1000LL
                              : phase == Answering ? Limits.AnswerSeconds * 1000LL
                                                   : -1;
        if (limit >= 0 && now - conn->Since > limit) {
          ::shutdown(conn->Fd, SHUT_RDWR);
          conn->Cut = true;
        }
      }
    }
  }
};

THttpServer::THttpServer(std::vector<TRoute> routes, THttpLimits limits) : Impl(std::make_unique<TImpl>()) {
  Impl->Routes = std::move(routes);
  Impl->Limits = std::move(limits);
  for (const auto& proxy : Impl->Limits.TrustedProxies) Impl->Trusted.insert(AddressKey(proxy));
}

THttpServer::~THttpServer() { Stop(); }

int THttpServer::Start(const std::string& bind, int port) {
  const std::string where = bind + " port " + std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  // A text without letters is an address or a mistake, never a name to look up.
  if (std::none_of(bind.begin(), bind.end(), [](char c) { return std::isalpha(uint8_t(c)); }))
    hints.ai_flags |= AI_NUMERICHOST;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(bind.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0)
    throw std::runtime_error("cannot listen on " + where + ": " + gai_strerror(rc));
  const int family = found->ai_family;
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const auto fail = [&](const std::string& what) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    freeaddrinfo(found);
    throw std::runtime_error(what + " " + where + ": " + reason);
  };
  if (fd < 0) fail("cannot listen on");
  // A restart may take the port while old connections wait out their close; a second
  // server on a port in use is still refused (no SO_REUSEPORT).
  const int one = 1, zero = 0;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
  if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0) fail("cannot listen on");
  if (::listen(fd, SOMAXCONN) != 0) fail("cannot listen on");
  freeaddrinfo(found);
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  const int bound = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                             : reinterpret_cast<sockaddr_in*>(&address)->sin_port);

  unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
  if (family == AF_INET6) flags |= MHD_USE_IPv6;
  auto& impl = *Impl;
  impl.Daemon = MHD_start_daemon(
      flags, 0, nullptr, nullptr, &TImpl::Access, &impl, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_CONNECTION_LIMIT,
      impl.Limits.Connections, MHD_OPTION_CONNECTION_MEMORY_LIMIT, impl.Limits.HeadBytes,
      MHD_OPTION_CONNECTION_TIMEOUT, unsigned(impl.Limits.IdleSeconds), MHD_OPTION_NOTIFY_COMPLETED,
      &TImpl::Completed, &impl, MHD_OPTION_NOTIFY_CONNECTION, &TImpl::Notify, &impl, MHD_OPTION_URI_LOG_CALLBACK,
      &TImpl::UriLog, &impl, MHD_OPTION_END);
  if (!impl.Daemon) {
    ::close(fd);
    throw std::runtime_error("the HTTP server could not start on " + where);
  }
  impl.ListenFd = fd;
  impl.Reaper = std::thread([&impl] { impl.Reap(); });
  return bound;
}

void THttpServer::Stop() {
  auto& impl = *Impl;
  if (!impl.Daemon) return;
  // Suspended requests must be resumed before the loop may stop; their replies are due.
  for (int waited = 0; impl.Suspended > 0 && waited < 1000; waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (impl.Suspended > 0) {
    std::cerr << "sprayrush-scores: requests still waiting for the database; leaving them" << std::endl;
    std::_Exit(1);
  }
  {
    std::lock_guard<std::mutex> hold(impl.ReaperLock);
    impl.Stopping = true;
  }
  impl.ReaperWake.notify_all();
  impl.Reaper.join();
  MHD_stop_daemon(impl.Daemon);
  impl.Daemon = nullptr;
  ::close(impl.ListenFd);
  impl.ListenFd = -1;
}

}  // namespace Scores
