// The web game's page served at /play/, and the table's links to it.
#include <gtest/gtest.h>

#include <fstream>

#include "server/ScoreService.h"
#include "tests/server/RawHttp.h"
#include "tests/server/ServerProcess.h"

namespace {

using namespace ServerTest;

std::string Header(const TResponse& response, const std::string& name) {
  const std::string head = "\r\n" + response.Head + "\r\n";
  std::string lower = head;
  for (char& c : lower) c = char(std::tolower(uint8_t(c)));
  std::string key = "\r\n" + name + ": ";
  for (char& c : key) c = char(std::tolower(uint8_t(c)));
  const size_t at = lower.find(key);
  if (at == std::string::npos) return "-";
  const size_t from = at + key.size();
  return head.substr(from, head.find("\r\n", from) - from);
}

TResponse Get(int port, const std::string& target, const std::string& headers = {}) {
  return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" + headers + "\r\n");
}

TEST(WebGame, FilesComeWithTheirTypeTheCodingTheBrowserTakesAndATag) {
  TTempDir dir;
  const auto web = dir.Path / "web";
  std::filesystem::create_directories(web);
  for (const auto& [name, bytes] : {std::pair{"index.html", "<html>page"}, {"index.html.br", "BR page"},
                                    {"index.html.gz", "GZ page"}, {"sprayrush.wasm", "wasm program"},
                                    {"sprayrush.wasm.gz", "GZ program"}, {"sprayrush.data", "data"}})
    std::ofstream(web / name, std::ios::binary) << bytes;
  TServer server((dir.Path / "scores.db").string(), true, {}, {"--web", web.string()});

  const struct {
    std::string Target, AcceptEncoding;
    int Status;
    std::string Type, Coding, Body;
  } cases[] = {
      {"/play/", "gzip, deflate, br", 200, "text/html; charset=utf-8", "br", "BR page"},
      {"/play/index.html", "gzip", 200, "text/html; charset=utf-8", "gzip", "GZ page"},
      {"/play/index.html", "", 200, "text/html; charset=utf-8", "-", "<html>page"},
      {"/play/index.html", "br;q=0, gzip;q=0.5", 200, "text/html; charset=utf-8", "gzip", "GZ page"},
      {"/play/sprayrush.wasm", "br, gzip", 200, "application/wasm", "gzip", "GZ program"},
      {"/play/sprayrush.data", "br, gzip", 200, "application/octet-stream", "-", "data"},
      {"/play/../scores.db", "", 404, "text/plain; charset=utf-8", "-", "No such file of the game\n"},
      {"/play/missing.js", "", 404, "text/plain; charset=utf-8", "-", "No such file of the game\n"},
  };
  for (const auto& c : cases) {
    const std::string accept = c.AcceptEncoding.empty() ? "" : "Accept-Encoding: " + c.AcceptEncoding + "\r\n";
    const TResponse r = Get(server.Port, c.Target, accept);
    EXPECT_EQ(r.Status, c.Status) << c.Target;
    EXPECT_EQ(Header(r, "Content-Type"), c.Type) << c.Target;
    EXPECT_EQ(Header(r, "Content-Encoding"), c.Coding) << c.Target << " " << c.AcceptEncoding;
    EXPECT_EQ(r.Body, c.Body) << c.Target;
    if (c.Status == 200) {
      EXPECT_EQ(Header(r, "Cache-Control"), "no-cache");
      EXPECT_EQ(Header(r, "Vary"), "Accept-Encoding");
    }
  }
  // The browser keeps a file and asks whether it is still current.
  const TResponse first = Get(server.Port, "/play/sprayrush.data");
  const std::string tag = Header(first, "ETag");
  ASSERT_NE(tag, "-");
  EXPECT_EQ(Get(server.Port, "/play/sprayrush.data", "If-None-Match: " + tag + "\r\n").Status, 304);
  EXPECT_EQ(Get(server.Port, "/play/sprayrush.data", "If-None-Match: \"other\"\r\n").Status, 200);
  const TResponse bare = Get(server.Port, "/play");
  EXPECT_EQ(bare.Status, 301);
  EXPECT_EQ(Header(bare, "Location"), "/play/");

  // The table links to the game; a server without it does not.
  EXPECT_NE(Fetch(server.Port, PageTarget).Body.find("href=\"../play/\""), std::string::npos);
  TServer plain((dir.Path / "other.db").string());
  EXPECT_EQ(Fetch(plain.Port, PageTarget).Body.find("../play/"), std::string::npos);
  EXPECT_EQ(Fetch(plain.Port, "/play/").Status, 404);
}

TEST(WebGame, EveryProvenResultCanBeWatchedInThePage) {
  Scores::TScoreEntry proven{"A", 900, "_", 1700000000, "127.0.0.1"};
  proven.Id = 7;
  proven.Proven = true;
  Scores::TScoreEntry plain{"B", 800, "_", 1700000000, "127.0.0.1"};
  plain.Id = 8;
  Scores::TPagePlace place;
  place.WebGame = true;
  const std::string page = Scores::TablePage({proven, plain}, place);
  EXPECT_NE(page.find("href=\"../play/?replay=7\""), std::string::npos);
  EXPECT_EQ(page.find("?replay=8"), std::string::npos);
  EXPECT_EQ(Scores::TablePage({proven, plain}).find("../play/"), std::string::npos);
}

}  // namespace
