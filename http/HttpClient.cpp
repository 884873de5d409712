#include "http/HttpClient.h"

#include <curl/curl.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

namespace {

// The calls of libcurl the client makes. The library is loaded with the first request
// rather than with the program: it and what it brings along (TLS, Kerberos, LDAP, ...;
// under Wine its crypto and sockets) cost every start tens of milliseconds and several
// megabytes that a game sending no result never needs.
struct TCurl {
  CURLcode (*GlobalInit)(long flags);
  const char* (*EasyStrerror)(CURLcode code);
  curl_slist* (*SlistAppend)(curl_slist* list, const char* line);
  void (*SlistFreeAll)(curl_slist* list);
  CURLSH* (*ShareInit)();
  CURLSHcode (*ShareSetopt)(CURLSH* share, CURLSHoption option, ...);
  CURLSHcode (*ShareCleanup)(CURLSH* share);
  CURL* (*EasyInit)();
  void (*EasyCleanup)(CURL* handle);
  CURLcode (*EasySetopt)(CURL* handle, CURLoption option, ...);
  CURLcode (*EasyPerform)(CURL* handle);
  CURLcode (*EasyGetinfo)(CURL* handle, CURLINFO info, ...);
};

#ifdef _WIN32
using TLibrary = HMODULE;
TLibrary OpenLibrary() {
  TLibrary library = LoadLibraryW(L"libcurl.dll");
  if (!library) throw EHttpError("HTTP start-up failed: libcurl.dll cannot be loaded (error " +
                                 std::to_string(GetLastError()) + ")");
  return library;
}
void* Symbol(TLibrary library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(library, name));
}
#else
using TLibrary = void*;
TLibrary OpenLibrary() {
  TLibrary library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!library) throw EHttpError(std::string("HTTP start-up failed: ") + dlerror());
  return library;
}
void* Symbol(TLibrary library, const char* name) { return dlsym(library, name); }
#endif

TCurl LoadCurl() {
  const TLibrary library = OpenLibrary();
  auto get = [library](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(Symbol(library, name));
    if (!function) throw EHttpError(std::string("HTTP start-up failed: libcurl lacks ") + name);
  };
  TCurl c;
  get(c.GlobalInit, "curl_global_init");
  get(c.EasyStrerror, "curl_easy_strerror");
  get(c.SlistAppend, "curl_slist_append");
  get(c.SlistFreeAll, "curl_slist_free_all");
  get(c.ShareInit, "curl_share_init");
  get(c.ShareSetopt, "curl_share_setopt");
  get(c.ShareCleanup, "curl_share_cleanup");
  get(c.EasyInit, "curl_easy_init");
  get(c.EasyCleanup, "curl_easy_cleanup");
  get(c.EasySetopt, "curl_easy_setopt");
  get(c.EasyPerform, "curl_easy_perform");
  get(c.EasyGetinfo, "curl_easy_getinfo");
  return c;
}

// Loaded and started once, by whichever thread asks first.
const TCurl& Curl() {
  static const TCurl curl = [] {
    const TCurl c = LoadCurl();
    const CURLcode started = c.GlobalInit(CURL_GLOBAL_DEFAULT);
    if (started != CURLE_OK) throw EHttpError(std::string("HTTP start-up failed: ") + c.EasyStrerror(started));
    return c;
  }();
  return curl;
}

struct THeaderList {
  curl_slist* List = nullptr;
  ~THeaderList() {
    if (List) Curl().SlistFreeAll(List);
  }
  void Add(const std::string& line) {
    curl_slist* grown = Curl().SlistAppend(List, line.c_str());
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
    Cookies = Curl().ShareInit();
    if (!Cookies || Curl().ShareSetopt(Cookies, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      if (Cookies) Curl().ShareCleanup(Cookies);
      throw EHttpError("HTTP client could not be created");
    }
  }
  ~TState() { Curl().ShareCleanup(Cookies); }
};

struct TEasyHandle {
  CURL* Handle = Curl().EasyInit();
  ~TEasyHandle() {
    if (Handle) Curl().EasyCleanup(Handle);
  }
};

// The library comes with the first request.
THttpClient::THttpClient() = default;

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
    while (std::optional<TBegun> failed = NextBegun()) failed->Ended({});
  }
}

std::optional<THttpClient::TBegun> THttpClient::NextBegun() {
  std::lock_guard<std::mutex> hold(BegunLock);
  if (Begun.empty()) {
    Running = false;
    return std::nullopt;
  }
  TBegun next = std::move(Begun.front());
  Begun.pop_front();
  return next;
}

void THttpClient::RunBegun() {
  while (std::optional<TBegun> request = NextBegun()) {
    THttpEnd end;
    try {
      Perform(request->Url, request->Body ? &*request->Body : nullptr, request->ContentType);
      end.Ok = true;
    } catch (const EHttpError& e) {
      end.Status = e.Status();
      end.RetryAfterSeconds = e.RetryAfterSeconds();
    } catch (...) {
      // No answer to be had.
    }
    request->Ended(end);
  }
}

void THttpClient::Wait() {
  // Called from an ended, the worker has the rest to do itself.
  if (Worker.joinable() && Worker.get_id() != std::this_thread::get_id()) Worker.join();
}

std::string THttpClient::Perform(const std::string& url, const std::string* upload, const std::string& uploadType) {
  std::lock_guard<std::mutex> hold(Lock);
  if (!State) State = std::make_unique<TState>();
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
  const auto setopt = Curl().EasySetopt;

  setopt(curl, CURLOPT_URL, target.c_str());
  if (upload) {
    setopt(curl, CURLOPT_POSTFIELDS, upload->data());
    setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(upload->size()));
  } else {
    setopt(curl, CURLOPT_HTTPGET, 1L);
  }
  setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
  setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // A redirected upload would arrive as a GET without its body.
  setopt(curl, CURLOPT_FOLLOWLOCATION, upload ? 0L : 1L);
  setopt(curl, CURLOPT_MAXREDIRS, 5L);
  setopt(curl, CURLOPT_USERAGENT, UserAgent.c_str());
  setopt(curl, CURLOPT_HTTPHEADER, headers.List);
  // Time-outs must not depend on signals: the request may run on a worker thread.
  setopt(curl, CURLOPT_NOSIGNAL, 1L);
  setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectTimeoutMs);
  setopt(curl, CURLOPT_TIMEOUT_MS, TimeoutMs);
  setopt(curl, CURLOPT_PROXY, Proxy.c_str());
  if (!ProxyUserName.empty()) {
    setopt(curl, CURLOPT_PROXYUSERNAME, ProxyUserName.c_str());
    setopt(curl, CURLOPT_PROXYPASSWORD, ProxyPassword.c_str());
    setopt(curl, CURLOPT_PROXYAUTH, long(CURLAUTH_ANY));
  }
  if (AllowCookies) {
    setopt(curl, CURLOPT_SHARE, State->Cookies);
    setopt(curl, CURLOPT_COOKIEFILE, "");
  }
  setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  setopt(curl, CURLOPT_WRITEDATA, &body);
  setopt(curl, CURLOPT_ERRORBUFFER, error);

  const CURLcode result = Curl().EasyPerform(curl);

  if (body.TooLarge)
    throw EHttpError("Answer from " + target + " is larger than " + std::to_string(MaxBodyBytes) + " bytes");
  if (result != CURLE_OK)
    throw EHttpError("Request to " + target + " failed: " + (error[0] ? error : Curl().EasyStrerror(result)));
  long status = 0;
  Curl().EasyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) {
    curl_off_t retryAfter = 0;
    Curl().EasyGetinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter);
    throw EHttpError("Request to " + target + " answered " + std::to_string(status), status, long(retryAfter));
  }
  return std::move(body.Text);
}
