#pragma once
// A game's replay as the server gets it: a whole game recorded by the game's runner, its
// result entered and sent, and the POST that carries a replay.
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "game/replay/ReplayFile.h"
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

// The replay of that game, recorded by the runner once for every test of a build (a
// recording draws every frame: seconds, many more with the sanitizers), again whenever the
// runner is built anew.
inline const std::string& SentGame() {
  static const std::string replay = [] {
    namespace fs = std::filesystem;
    const fs::path kept = fs::path(SPRAYRUSH_BINARY_DIR) / "tests" / "sent-game.replay";
    std::error_code ec;
    const auto built = fs::last_write_time(SPRAYRUSH_RUNNER, ec);
    if (!ec && fs::exists(kept, ec) && fs::last_write_time(kept, ec) > built) {
      std::ostringstream bytes;
      bytes << std::ifstream(kept, std::ios::binary).rdbuf();
      if (!bytes.str().empty()) return bytes.str();
    }
    TTempDir dir;
    std::ofstream(dir.Path / "game.txt") << SentGameScript;
    TChild runner({SPRAYRUSH_RUNNER, "--record", (dir.Path / "game.replay").string(), (dir.Path / "game.txt").string()},
                  TChild::ErrorsWithOutput);
    const std::string said = runner.ReadAll(120000);
    if (runner.Wait(120000) != 0) throw std::runtime_error("the runner failed: " + said);
    std::ostringstream bytes;
    bytes << std::ifstream(dir.Path / "game.replay", std::ios::binary).rdbuf();
    // Tests running beside each other each put a whole file in place.
    const fs::path next = kept.string() + "." + std::to_string(::getpid());
    fs::copy_file(dir.Path / "game.replay", next, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(next, kept, ec);
    return bytes.str();
  }();
  return replay;
}

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
inline std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

inline TReplay SentReplay() {
  return DecodeReplay({reinterpret_cast<const uint8_t*>(SentGame().data()), SentGame().size()});
}

// The replay's stream rebuilt item by item: change sees every item with the number of
// frames before it and writes what it likes in its place.
inline TReplay Rewritten(TReplay replay,
                         const std::function<void(const TReplayItem&, uint32_t, TReplayStreamWriter&)>& change) {
  TReplayStreamReader in(replay.Stream);
  TReplayStreamWriter out;
  for (TReplayItem item = in.Next(); item.Kind != TReplayItem::End; item = in.Next())
    change(item, out.Frames(), out);
  replay.Stream = out.Finish();
  replay.Result.Frames = out.Frames();
  return replay;
}

inline void Put(TReplayStreamWriter& out, const TReplayItem& item) {
  if (item.Kind == TReplayItem::Event)
    out.Event(item.Ev);
  else
    out.Frame(item.Input);
}

// The sent game paused early in its race for the given frames: as long to re-play as a
// replay of the game can be, and made in a moment. Let go of the pause with the throttle
// held, it is the same race; without it, another.
// A hand on the brake meanwhile, pressing it every other frame, makes the file as large
// as the frames can.
inline TReplay Paused(uint32_t frames, bool sameRace, bool braking = false, uint32_t at = 200) {
  constexpr uint64_t Up = 1, Down = 2, Pause = uint64_t(1) << 7;  // the throttle, the brake, P
  return Rewritten(SentReplay(), [&](const TReplayItem& item, uint32_t frame, TReplayStreamWriter& out) {
    if (frame == at && item.Kind == TReplayItem::Frame) {
      out.Frame({Pause, 0, 1});
      for (uint32_t i = 0; i < frames; ++i) out.Frame({braking && i % 2 ? Down : 0, 0, 1});
      out.Frame({Pause | (sameRace ? Up : 0), 0, 1});
    }
    Put(out, item);
  });
}

// The replay with the claims its own re-play gives, as a cheat makes them with the
// runner's --verify; the sent flag stays as the file has it.
inline std::string Reclaimed(TReplay replay) {
  TTempDir dir;
  const auto bytes = EncodeReplay(replay);
  std::ofstream(dir.Path / "r.replay", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  TChild runner({SPRAYRUSH_RUNNER, "--verify", (dir.Path / "r.replay").string()}, true);
  const std::string line = runner.ReadAll(120000);
  runner.Wait(120000);
  std::map<std::string, std::string> fields;
  std::istringstream items(line);
  for (std::string item; items >> item;)
    if (const size_t equals = item.find('='); equals != std::string::npos)
      fields[item.substr(0, equals)] = item.substr(equals + 1);
  if (fields["score"].empty() || fields["score"] == "-") throw std::runtime_error("no verdict: " + line);
  std::string name;
  for (size_t i = 0; i + 1 < fields["name"].size(); i += 2)
    name += char(std::stoi(fields["name"].substr(i, 2), nullptr, 16));
  replay.Result.PlayerName = name;
  replay.Result.Score = std::stoi(fields["score"]);
  replay.Result.EnteredTable = fields["table"] == "1";
  replay.Result.Frames = uint32_t(std::stoul(fields["frames"]));
  replay.Result.Checksum = std::stoull(fields["checksum"], nullptr, 16);
  const auto reclaimed = EncodeReplay(replay);
  return {reclaimed.begin(), reclaimed.end()};
}

// The game with three other letters typed for its name.
inline TReplay Renamed(const TReplay& replay, const std::string& three) {
  return Rewritten(replay, [typed = size_t(0), three](const TReplayItem& item, uint32_t,
                                                      TReplayStreamWriter& out) mutable {
    TReplayItem copy = item;
    if (item.Kind == TReplayItem::Event && item.Ev.Kind == TReplayEventKind::Char && item.Ev.Char >= 0xC0)
      copy.Ev.Char = uint8_t(three[typed++ % 3]);
    Put(out, copy);
  });
}

// The sent game with "Tom" typed for its name, its claims made again: a thief's copy.
inline std::string TomsGame() { return Reclaimed(Renamed(SentReplay(), "Tom")); }

// Whether the JSON table has a proven row under the name.
inline bool ProvenRow(const std::string& json, const std::string& name) {
  const size_t row = json.find("\"name\":\"" + name + "\"");
  return row != std::string::npos && json.find("\"proven\":true", row) < json.find('}', row);
}

inline TResponse PostReplay(int port, const std::string& body, const std::string& from = "127.0.0.1") {
  return Exchange(port,
                  "POST /replays HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n"
                  "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
                  from, 120000);
}

}  // namespace ServerTest
