// The HTTP client and the submission against a hand-driven listener on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "http/HttpClient.h"
#include "tests/online/Loopback.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Ok(const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
         "Connection: close\r\n\r\n" + body;
}

std::string Url(int port, const std::string& rest) { return "http://127.0.0.1:" + std::to_string(port) + rest; }

TEST(HttpClient, SendsTheRequestLineAndHeadersOfTheGame) {
  Loopback::TListener server(Loopback::Answer(Ok("thanks")));
  THttpClient client;
  const std::string code = EncodeBits(ToBitString(ResultRecord("Ab", 1234, "_______")));
  const std::string address = "127.0.0.1:" + std::to_string(server.Port);
  EXPECT_EQ(client.Get(SubmitUrl(address, code)), "thanks");
  ASSERT_EQ(server.Heads().size(), 1u);
  EXPECT_EQ(server.Heads()[0],
            "GET /cgi/version.pl?hs&prg=Sprayrush&inf=" + code + " HTTP/1.1\r\n"
            "Host: " + address + "\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Sprayrush)\r\n"
            "Accept: text/html, */*\r\n"
            "Content-Type: text/html\r\n"
            "Content-Length: 0\r\n"
            "\r\n");
}

TEST(HttpClient, KeepsCookiesAndEncodesWhatAUrlCannotCarry) {
  Loopback::TListener server(Loopback::Answer(Ok("", "Set-Cookie: visit=1; Path=/\r\n")));
  THttpClient client;
  client.Get(Url(server.Port, "/a b?x=\xC0&y=%41&z=%G1"));
  client.Get(Url(server.Port, "/"));
  const auto heads = server.Heads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].substr(0, heads[0].find("\r\n")), "GET /a%20b?x=%C0&y=%41&z=%25G1 HTTP/1.1");
  EXPECT_EQ(heads[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(heads[1].find("\r\nCookie: visit=1\r\n"), std::string::npos) << heads[1];

  THttpClient noCookies;
  noCookies.AllowCookies = false;
  noCookies.Get(Url(server.Port, "/"));
  noCookies.Get(Url(server.Port, "/"));
  EXPECT_EQ(server.Heads()[3].find("Cookie:"), std::string::npos);
}

TEST(HttpClient, EveryFailureIsAnHttpError) {
  const struct {
    const char* What;
    std::string Answer;
    long Status;
  } Cases[] = {
      {"error status", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 404},
      {"server error", "HTTP/1.1 500 Oops\r\nContent-Length: 2\r\nConnection: close\r\n\r\nno", 500},
      {"broken transfer", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort", 0},
      {"no HTTP at all", "hello\r\n\r\n", 0},
      {"closed at once", "", 0},
  };
  for (const auto& c : Cases) {
    Loopback::TListener server(Loopback::Answer(c.Answer));
    THttpClient client;
    try {
      client.Get(Url(server.Port, "/"));
      ADD_FAILURE() << c.What << ": no error";
    } catch (const EHttpError& e) {
      EXPECT_EQ(e.Status(), c.Status) << c.What << ": " << e.what();
    }
  }
  THttpClient client;
  EXPECT_THROW(client.Get("file:///etc/hostname"), EHttpError);
  EXPECT_THROW(client.Get("not a url"), EHttpError);
}

TEST(HttpClient, AnOverlongAnswerIsRefused) {
  Loopback::TListener server(Loopback::Answer(Ok(std::string(5000, 'x'))));
  THttpClient client;
  client.MaxBodyBytes = 4096;
  EXPECT_THROW(client.Get(Url(server.Port, "/")), EHttpError);
  client.MaxBodyBytes = 5000;
  EXPECT_EQ(client.Get(Url(server.Port, "/")).size(), 5000u);
}

TEST(SubmitResult, DeadPortAndSilentServerEndWithinTheTimeOut) {
  Loopback::TListener silent([](int, const std::string&) {});
  THttpClient client;
  client.TimeoutMs = 700;
  for (int port : {Loopback::DeadPort(), silent.Port}) {
    const auto start = Clock::now();
    EXPECT_THROW(client.Get(Url(port, "/")), EHttpError) << port;
    SubmitResult(client, SubmitUrl("127.0.0.1:" + std::to_string(port), "GC2VD"));
    // Generous: the point is that it ends at all, not how fast.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << port;
  }
  EXPECT_EQ(silent.Heads().size(), 2u);
}

TEST(ResultSender, BusyUntilTheRequestHasEnded) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  Loopback::TListener server([released](int fd, const std::string&) {
    released.wait();
    Loopback::SendAll(fd, Ok("ok"));
    ::shutdown(fd, SHUT_RDWR);
  });
  THttpClient client;
  TResultSender sender;
  EXPECT_FALSE(sender.Busy());
  sender.Start(client, Url(server.Port, "/first"));
  EXPECT_TRUE(sender.Busy());
  release.set_value();
  sender.Wait();
  EXPECT_FALSE(sender.Busy());

  // Starting again while a request runs waits for it, so no result is lost; the
  // destructor waits for the last one.
  {
    TResultSender another;
    another.Start(client, Url(server.Port, "/second"));
    another.Start(client, Url(server.Port, "/third"));
  }
  const auto heads = server.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[2].substr(0, 10), "GET /third");
}

TEST(ResultSender, AFailedRequestEndsBusyToo) {
  THttpClient client;
  TResultSender sender;
  sender.Start(client, Url(Loopback::DeadPort(), "/"));
  sender.Wait();
  EXPECT_FALSE(sender.Busy());
}

}  // namespace
