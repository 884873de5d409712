// The client in the browser: the page's own fetch, to the server the page came from. A
// page cannot wait for an answer, so only begun requests go out.
#include <emscripten.h>

#include <map>

#include "http/HttpClient.h"

namespace {

struct TPending {
  THttpClient* Client;
  std::function<void()> Ended;
};

std::map<int, TPending>& Pending() {
  static std::map<int, TPending> pending;
  return pending;
}

// The path and query of an address: the request goes to the page's own server, by the
// page's own scheme.
std::string PathOf(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return path == std::string::npos ? "/" : url.substr(path);
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void SprayrushRequestEnded(int id) {
  auto& pending = Pending();
  const auto found = pending.find(id);
  if (found == pending.end()) return;  // its client has gone
  std::function<void()> ended = std::move(found->second.Ended);
  pending.erase(found);
  ended();
}

EM_JS(void, SprayrushFetch, (int id, const char* path, const uint8_t* body, int bodySize, const char* type,
                             int timeoutMs), {
  const ended = () => _SprayrushRequestEnded(id);
  if (typeof fetch !== 'function') {
    ended();  // node, for the headless runner: no network, as with a closed port
    return;
  }
  const abort = new AbortController();
  const timer = timeoutMs > 0 ? setTimeout(() => abort.abort(), timeoutMs) : 0;
  const init = {method: body ? 'POST' : 'GET', signal: abort.signal, credentials: 'same-origin', cache: 'no-store'};
  if (body) {
    init.body = HEAPU8.slice(body, body + bodySize);
    init.headers = {'Content-Type': UTF8ToString(type)};
  }
  fetch(UTF8ToString(path), init)
      .then((answer) => answer.arrayBuffer())
      .catch(() => {})
      .finally(() => {
        clearTimeout(timer);
        ended();
      });
});

struct THttpClient::TState {};

THttpClient::THttpClient() = default;

THttpClient::~THttpClient() {
  // A fetch that ends later finds no one to tell.
  std::erase_if(Pending(), [this](const auto& entry) { return entry.second.Client == this; });
}

std::string THttpClient::Get(const std::string& url) { return Perform(url, nullptr, {}); }

std::string THttpClient::Post(const std::string& url, const std::string& body, const std::string& contentType) {
  return Perform(url, &body, contentType);
}

std::string THttpClient::Perform(const std::string& url, const std::string*, const std::string&) {
  throw EHttpError("Request to " + url + " failed: the page cannot wait for an answer");
}

void THttpClient::Begin(const std::string& url, const std::string* body, const std::string& contentType,
                        std::function<void()> ended) {
  static int lastId = 0;
  const int id = ++lastId;
  Pending()[id] = {this, std::move(ended)};
  const std::string path = PathOf(EncodeUrl(url));
  SprayrushFetch(id, path.c_str(), body ? reinterpret_cast<const uint8_t*>(body->data()) : nullptr,
                 body ? int(body->size()) : 0, contentType.c_str(), int(TimeoutMs));
}

void THttpClient::Wait() {}
