#include "http/HttpClient.h"

#include <curl/curl.h>

#include <cstring>
#include <optional>

namespace {

void StartCurl() {
  static const CURLcode Started = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (Started != CURLE_OK) throw EHttpError(std::string("HTTP start-up failed: ") + curl_easy_strerror(Started));
}

struct THeaderList {
  curl_slist* List = nullptr;
  ~THeaderList() { curl_slist_free_all(List); }
  void Add(const std::string& line) {
    curl_slist* grown = curl_slist_append(List, line.c_str());
    if (!grown) throw EHttpError("Out of memory building the request");
    List = grown;
  }
};

struct TBody {
  std::string Text;
  size_t Limit = 0;
  bool TooLarge = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto& body = *static_cast<TBody*>(target);
  const size_t bytes = size * count;
  if (body.Limit && body.Text.size() + bytes > body.Limit) {
    body.TooLarge = true;
    return 0;
  }
  body.Text.append(data, bytes);
  return bytes;
}

}  // namespace

// Cookies live in a jar shared by the requests of one client; each request gets a fresh
// handle, as resetting a used one loses memory in this libcurl.
struct THttpClient::TState {
  CURLSH* Cookies = nullptr;
  TState() {
    StartCurl();
    Cookies = curl_share_init();
    if (!Cookies || curl_share_setopt(Cookies, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      curl_share_cleanup(Cookies);
      throw EHttpError("HTTP client could not be created");
    }
  }
  ~TState() { curl_share_cleanup(Cookies); }
};

struct TEasyHandle {
  CURL* Handle = curl_easy_init();
  ~TEasyHandle() { curl_easy_cleanup(Handle); }
};

THttpClient::THttpClient() : State(std::make_unique<TState>()) {}

THttpClient::~THttpClient() { Wait(); }

std::string THttpClient::Get(const std::string& url) { return Perform(url, nullptr, {}); }

std::string THttpClient::Post(const std::string& url, const std::string& body, const std::string& contentType) {
  return Perform(url, &body, contentType);
}

void THttpClient::Begin(const std::string& url, const std::string* body, const std::string& contentType,
                        std::function<void(const THttpEnd&)> ended) {
  std::unique_lock<std::mutex> hold(BegunLock);
  Begun.push_back({url, body ? std::optional<std::string>(*body) : std::nullopt, contentType, std::move(ended)});
  if (Running) return;  // the worker takes it after those before it
  Running = true;
  hold.unlock();
  // A worker that found nothing more to do has ended, or is about to.
  if (Worker.joinable()) Worker.join();
  try {
    Worker = std::thread([this] { RunBegun(); });
  } catch (...) {
    // No thread to be had: the requests are not made, as with any other failure.
    for (;;) {
      hold.lock();
      if (Begun.empty()) {
        Running = false;
        return;
      }
      TBegun failed = std::move(Begun.front());
      Begun.pop_front();
      hold.unlock();
      failed.Ended({});
    }
  }
}

void THttpClient::RunBegun() {
  for (;;) {
    std::unique_lock<std::mutex> hold(BegunLock);
    if (Begun.empty()) {
      Running = false;
      return;
    }
    TBegun request = std::move(Begun.front());
    Begun.pop_front();
    hold.unlock();
    THttpEnd end;
    try {
      Perform(request.Url, request.Body ? &*request.Body : nullptr, request.ContentType);
      end.Ok = true;
    } catch (const EHttpError& e) {
      end.Status = e.Status();
      end.RetryAfterSeconds = e.RetryAfterSeconds();
    } catch (...) {
      // No answer to be had.
    }
    request.Ended(end);
  }
}

void THttpClient::Wait() {
  // Called from an ended, the worker has the rest to do itself.
  if (Worker.joinable() && Worker.get_id() != std::this_thread::get_id()) Worker.join();
}

std::string THttpClient::Perform(const std::string& url, const std::string* upload, const std::string& uploadType) {
  std::lock_guard<std::mutex> hold(Lock);
  TEasyHandle request;
  CURL* curl = request.Handle;
  if (!curl) throw EHttpError("HTTP request could not be created");

  THeaderList headers;
  headers.Add("Accept: " + Accept);
  if (upload) {
    headers.Add("Content-Type: " + uploadType);
    // The body goes at once, without waiting for the server's leave.
    headers.Add("Expect:");
  } else if (!ContentType.empty()) {
    headers.Add("Content-Type: " + ContentType);
    headers.Add("Content-Length: " + std::to_string(ContentLength));
  }
  TBody body;
  body.Limit = MaxBodyBytes;
  char error[CURL_ERROR_SIZE] = {};
  const std::string target = EncodeUrl(url);

  curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
  if (upload) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, upload->data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(upload->size()));
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // A redirected upload would arrive as a GET without its body.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, upload ? 0L : 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.List);
  // Time-outs must not depend on signals: the request may run on a worker thread.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, TimeoutMs);
  curl_easy_setopt(curl, CURLOPT_PROXY, Proxy.c_str());
  if (!ProxyUserName.empty()) {
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, ProxyUserName.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, ProxyPassword.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_ANY));
  }
  if (AllowCookies) {
    curl_easy_setopt(curl, CURLOPT_SHARE, State->Cookies);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
  }
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);

  const CURLcode result = curl_easy_perform(curl);

  if (body.TooLarge)
    throw EHttpError("Answer from " + target + " is larger than " + std::to_string(MaxBodyBytes) + " bytes");
  if (result != CURLE_OK)
    throw EHttpError("Request to " + target + " failed: " + (error[0] ? error : curl_easy_strerror(result)));
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) {
    curl_off_t retryAfter = 0;
    curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter);
    throw EHttpError("Request to " + target + " answered " + std::to_string(status), status, long(retryAfter));
  }
  return std::move(body.Text);
}
