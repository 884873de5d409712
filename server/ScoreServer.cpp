#include "server/ScoreServer.h"

#include <httplib.h>
#include <sys/socket.h>

#include <ctime>
#include <iostream>

#include "server/ScoreService.h"

namespace Scores {

class TScoreServer::THttp : public httplib::Server {
 public:
  // The library listens with a queue of five; a burst of players would see their
  // connections refused or delayed by a second or more.
  void WidenBacklog() { ::listen(svr_sock_.load(), SOMAXCONN); }
};

TScoreServer::TScoreServer(TScoreStore& store, TServerSettings settings)
    : Http(std::make_unique<THttp>()), Store(store), Settings(std::move(settings)) {
  const size_t threads = Settings.Threads;
  Http->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  Http->set_read_timeout(Settings.ReadTimeoutSeconds, 0);
  Http->set_write_timeout(Settings.ReadTimeoutSeconds, 0);
  Http->set_keep_alive_timeout(Settings.KeepAliveSeconds);
  Http->set_payload_max_length(Settings.MaxBodyBytes);
  Http->set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-store"}});

  Http->Get("/cgi/version.pl", [this](const httplib::Request& request, httplib::Response& response) {
    const size_t question = request.target.find('?');
    const std::string_view query =
        question == std::string::npos ? std::string_view() : std::string_view(request.target).substr(question + 1);
    const TAnswer answer = AnswerQuery(Store, query, int64_t(std::time(nullptr)));
    response.status = answer.Status;
    response.set_content(answer.Body, answer.ContentType.c_str());
    // The page has no scripts; should a name ever slip through unescaped, it still runs nothing.
    if (answer.ContentType.rfind("text/html", 0) == 0)
      response.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
  });
  Http->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) response.set_content(std::to_string(response.status) + "\n", "text/plain");
  });
  Http->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      std::cerr << "sprayrush-scores: " << e.what() << std::endl;
    } catch (...) {
      std::cerr << "sprayrush-scores: unknown error" << std::endl;
    }
    response.status = 500;
    response.set_content("The table cannot be reached just now\n", "text/plain");
  });
}

TScoreServer::~TScoreServer() = default;

int TScoreServer::Bind() {
  int port = Settings.Port;
  if (port == 0)
    port = Http->bind_to_any_port(Settings.Bind);
  else if (!Http->bind_to_port(Settings.Bind, port))
    port = -1;
  if (port <= 0)
    throw std::runtime_error("cannot listen on " + Settings.Bind + " port " + std::to_string(Settings.Port));
  Http->WidenBacklog();
  return port;
}

void TScoreServer::Run() { Http->listen_after_bind(); }

void TScoreServer::Stop() { Http->stop(); }

}  // namespace Scores
