#pragma once
// A small HTTP/1.1 client: one request at a time (a GET, or a POST of a body), the
// answer's body as a string, every failure as an EHttpError; or a request begun without
// waiting for it, which is all the browser allows.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

class EHttpError : public std::runtime_error {
 public:
  // Status is the server's HTTP status for an error answer, 0 when none arrived; a
  // server that is busy may say in how many seconds to come again (0: it did not).
  explicit EHttpError(const std::string& message, long status = 0, long retryAfterSeconds = 0)
      : std::runtime_error(message), FStatus(status), FRetryAfter(retryAfterSeconds) {}
  long Status() const { return FStatus; }
  long RetryAfterSeconds() const { return FRetryAfter; }

 private:
  long FStatus;
  long FRetryAfter;
};

// How a begun request ended: answered (Ok below 400), or the error's status (0: no answer)
// with the seconds a busy server asked for.
struct THttpEnd {
  bool Ok = false;
  long Status = 0;
  long RetryAfterSeconds = 0;
};

class THttpClient {
 public:
  THttpClient();
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  // Fetches the resource and returns its body; throws EHttpError on no connection,
  // a name that does not resolve, an error status (400 and above), a broken transfer
  // or a time-out. Calls from several threads take turns.
  std::string Get(const std::string& url);
  // Sends the body with the content type and returns the answer's body, failing as Get
  // does; the Content-Type and Content-Length settings below are for GETs only.
  std::string Post(const std::string& url, const std::string& body, const std::string& contentType);
  // Begins a GET (body null) or a POST and returns at once; ended runs with how it ended,
  // the answer's body thrown away. On the desktop the requests begun run in turn on a
  // thread of the client's own (so ended may begin the next); in the browser each is the
  // page's fetch from the page's own server, and ended runs between frames.
  void Begin(const std::string& url, const std::string* body, const std::string& contentType,
             std::function<void(const THttpEnd&)> ended);
  // Waits until every begun request has ended (the browser cannot wait: there it returns
  // at once).
  void Wait();

  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; Sprayrush)";
  // Sent with every request; an empty type sends neither header.
  std::string ContentType = "text/html";
  long ContentLength = 0;
  // Cookies the server sets are kept for the life of this client and sent back.
  bool AllowCookies = true;
  // Empty: connect directly, whatever the environment says.
  std::string Proxy;
  // Credentials for the proxy; empty means no proxy authentication.
  std::string ProxyUserName, ProxyPassword;
  // A server that takes the connection and never answers must not hold the caller for
  // ever; 0 turns a limit off.
  long ConnectTimeoutMs = 3000;
  long TimeoutMs = 5000;
  // A longer body ends the transfer with an error instead of filling the memory.
  size_t MaxBodyBytes = 1 << 20;

 private:
  std::string Perform(const std::string& url, const std::string* upload, const std::string& uploadType);
  struct TState;
  struct TBegun {
    std::string Url;
    std::optional<std::string> Body;
    std::string ContentType;
    std::function<void(const THttpEnd&)> Ended;
  };
  // The next begun request, or none, the worker's end noted under the same lock.
  std::optional<TBegun> NextBegun();
  void RunBegun();
  std::mutex Lock;
  std::unique_ptr<TState> State;
  std::mutex BegunLock;
  std::deque<TBegun> Begun;
  bool Running = false;
  std::thread Worker;
};

// Percent-encodes every byte a URL may not carry as it is (spaces, controls, bytes
// above 127 and the few unsafe marks); escapes already present stay.
std::string EncodeUrl(const std::string& url);
