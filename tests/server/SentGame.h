#pragma once
// A game's replay as the server gets it: a whole game recorded by the game's runner, its
// result entered and sent, and the POST that carries a replay.
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/server/RawHttp.h"
#include "tests/server/ServerProcess.h"

namespace ServerTest {

// A whole game on throttle alone (about two and a half minutes), its result entered as
// "Ира" and sent.
inline constexpr const char* SentGameScript =
    "seed 10\nboat 1\nhold U 9822\ntype Ира\nenter\nhold - 1\nhold Y 1\nhold - 400\n";
inline const std::string SentName = "\xC8\xF0\xE0";
inline constexpr int32_t SentScore = 835;
inline const std::string SentAdd = "_______";  // the options' free text at first start

// The replay of that game, recorded once by the runner.
inline const std::string& SentGame() {
  static const std::string replay = [] {
    TTempDir dir;
    std::ofstream(dir.Path / "game.txt") << SentGameScript;
    TChild runner({SPRAYRUSH_RUNNER, "--record", (dir.Path / "game.replay").string(), (dir.Path / "game.txt").string()},
                  TChild::ErrorsWithOutput);
    const std::string said = runner.ReadAll(120000);
    if (runner.Wait(120000) != 0) throw std::runtime_error("the runner failed: " + said);
    std::ostringstream bytes;
    bytes << std::ifstream(dir.Path / "game.replay", std::ios::binary).rdbuf();
    return bytes.str();
  }();
  return replay;
}

inline TResponse PostReplay(int port, const std::string& body, const std::string& from = "127.0.0.1") {
  return Exchange(port,
                  "POST /replays HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
                  from, 120000);
}

}  // namespace ServerTest
