// Games recorded as a player plays them, through the window's events, and re-played in a
// fresh game: the same race state after every frame, the same end.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "game/replay/Recorder.h"
#include "media/DXInput/DXInput.h"
#include "media/Platform/GameController.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/replay/ReplayStore.h"
#include "http/HttpClient.h"
#include "tests/online/Loopback.h"
#include "tests/replay/AlteredReplay.h"
#include "tests/replay/ReplayRig.h"

using namespace Platform;

namespace {

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TGameFolder::DataBuilt()) GTEST_SKIP() << "the game data is not built";
  }
};

// Leaves the race: Escape, Yes; then, if the game makes the table, Enter for the name and
// No to sending.
void LeaveRace(TRecordingGame& game) {
  game.Leave();
  if (game.Form().ActiveDialog == 5) {
    game.Key(VK_RETURN, 13);
    game.Hold({'N'});
    game.Frames(1);
    game.Hold({});
  }
  ASSERT_NE(game.Form().CurrentScreen, 1);
}

// A kept game re-played reproduces itself, and its frames from the boat choice on are the
// ones the player saw live.
void ExpectReplayedAsPlayed(const std::vector<uint8_t>& bytes, const TRecordingGame& game, size_t first,
                            size_t played) {
  const TReplayed again = Replay(bytes);
  EXPECT_TRUE(again.Outcome.Reproduced);
  ASSERT_GE(again.Sums.size(), played);
  EXPECT_EQ(std::vector<uint64_t>(again.Sums.begin(), again.Sums.begin() + std::ptrdiff_t(played)),
            LiveFrames(game.Sums, first, played));
}


TEST_F(Recording, AGamePlayedWithEveryKindOfInputReplaysFrameByFrameAndFollowsItsResult) {
  std::atomic<bool> answer{false}, answerUpload{false};
  std::string uploaded;
  Loopback::TListener server([&](int fd, const std::string& head) {
    if (head.rfind("POST ", 0) == 0) {
      // The replay comes after the result; the game is in its menu long before it has its answer.
      const size_t length = std::stoul(head.substr(head.find("Content-Length: ") + 16));
      uploaded = head.substr(head.find("\r\n\r\n") + 4);
      while (uploaded.size() < length) uploaded += Loopback::ReadAll(fd, 1000);
      while (!answerUpload) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    while (!answer) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Loopback::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
  });
  TRecordingGame game(5, true);
  SetScoreServerOverride("127.0.0.1:" + std::to_string(server.Port));
  game.Form().Race.PlayerName = "Ann";  // the game before's name, offered again
  game.ChooseBoat(2);
  ASSERT_EQ(game.Form().CurrentScreen, 1);
  const size_t first = game.Sums.size();

  game.FramesWhile(1);
  game.Hold({VK_UP, VK_RIGHT});
  game.Frames(60);
  game.Deliver(TEventKind::KeyDown, VK_CONTROL, 0, 0, 0, ssCtrl);
  game.Deliver(TEventKind::KeyDown, VK_CONTROL, 0, 0, 0, ssCtrl);  // held: it repeats
  game.Hold({VK_UP, VK_LEFT, VK_SPACE});
  game.Frames(40);
  game.Deliver(TEventKind::KeyUp, VK_CONTROL);
  game.Hold({VK_UP, 'P'});
  game.Frames(2);
  game.Hold({VK_UP});
  game.Frames(10);
  game.Hold({'P'});
  game.Frames(1);
  game.Hold({VK_UP});
  game.Frames(30);
  // The close box asks; No by mouse, after pointing at Yes first.
  game.Deliver(TEventKind::CloseRequest);
  ASSERT_EQ(game.Form().ActiveDialog, 4);
  game.Frames(3);
  game.Point(int(game.Form().Menu.Buttons[1]->X) + 5, int(game.Form().Menu.Buttons[1]->Y) + 5);
  game.Frames(2);
  game.ClickButton(2);
  ASSERT_EQ(game.Form().ActiveDialog, 0);
  game.Type("y");  // typed in the race: nothing to type into
  game.Frames(30);
  // Minimising pauses.
  game.Deliver(TEventKind::Minimized);
  EXPECT_EQ(game.Form().ActiveDialog, 2);
  game.Frames(5);
  game.Deliver(TEventKind::Restored);
  game.Hold({'P'});
  game.Frames(1);
  game.Hold({VK_UP, VK_LEFT});
  game.Frames(50);
  // Leaving with a record: the name typed and changed, sent by mouse.
  game.Leave();
  ASSERT_EQ(game.Form().ActiveDialog, 5);
  game.Frames(3);
  game.Type("\x08" "Bo");
  game.Key(VK_RETURN, 13);
  ASSERT_EQ(game.Form().ActiveDialog, 6);
  game.Frames(2);
  game.ClickButton(1);
  ASSERT_EQ(game.Form().ActiveDialog, 7);
  game.Frames(20);  // the server thinks
  answer = true;
  for (int i = 0; i < 1000 && game.Form().CurrentScreen == 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    game.Frames(1);
  }
  ASSERT_EQ(game.Form().CurrentScreen, 0);
  const size_t played = game.Sums.size() - first;
  // The replay goes to the same server while the menu runs on, whatever the server does.
  game.Frames(30);
  EXPECT_EQ(game.Form().CurrentScreen, 0);
  ASSERT_NE(game.Form().Replay.Uploader, nullptr);
  answerUpload = true;
  game.Form().Replay.Uploader->Wait();
  ASSERT_EQ(server.Heads().size(), 2u);
  EXPECT_EQ(server.Heads()[1].rfind("POST /replays HTTP/1.1\r\n", 0), 0u) << server.Heads()[1];
  EXPECT_NE(server.Heads()[1].find("Content-Type: application/octet-stream\r\n"), std::string::npos);
  EXPECT_TRUE(uploaded == std::string(game.Form().Replay.LastGame.begin(), game.Form().Replay.LastGame.end()));

  const auto kept = game.Kept();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], game.Form().Replay.LastGame);
  const TReplay replay = DecodeReplay(kept[0]);
  EXPECT_EQ(replay.Start.Boat, 2);
  EXPECT_EQ(replay.Start.PlayerName, "Ann");
  EXPECT_EQ(replay.Start.Table[9].Points, -1);
  EXPECT_EQ(replay.Result.PlayerName, "AnBo");
  EXPECT_EQ(replay.Result.Score, game.Form().Race.Score);
  EXPECT_TRUE(replay.Result.EnteredTable);
  EXPECT_TRUE(replay.Result.Sent);
  EXPECT_EQ(replay.Result.Frames, played);

  const TReplayed again = Replay(kept[0]);
  EXPECT_TRUE(again.Outcome.Reproduced);
  EXPECT_EQ(again.Outcome.Score, replay.Result.Score);
  EXPECT_EQ(again.Sums, LiveFrames(game.Sums, first, played));
  // The replay showed the sending notice for as long, and sent nothing.
  EXPECT_EQ(server.Heads().size(), 2u);
}

TEST_F(Recording, TheSecondGameOfARunReplaysLikeAFirst) {
  TRecordingGame game(9);
  game.ChooseBoat(1);
  game.FramesWhile(1);
  game.Hold({VK_UP, VK_LEFT});
  game.Frames(300);
  LeaveRace(game);
  game.ChooseBoat(3);
  const size_t first = game.Sums.size();
  game.FramesWhile(1);
  for (int turn = 0; turn < 6; ++turn) {
    game.Hold({VK_UP, uint16_t(turn % 2 ? VK_LEFT : VK_RIGHT), VK_SPACE});
    game.Frames(45);
  }
  const size_t played = game.Sums.size() - first;
  LeaveRace(game);

  const auto kept = game.Kept();
  ASSERT_EQ(kept.size(), 2u);
  ExpectReplayedAsPlayed(kept[1], game, first, played);
}

TEST_F(Recording, AMinimiseDuringTheTimeOverOwesAPauseInTheReplayToo) {
  TRecordingGame game(2);
  game.Form().SkipPictures = true;  // four thousand frames of waiting, quickly
  game.ChooseBoat(1);
  const size_t first = game.Sums.size();
  game.FramesWhile(1);
  for (int i = 0; i < 5000 && game.Form().ActiveDialog != 3; ++i) game.Frames(1);
  ASSERT_EQ(game.Form().ActiveDialog, 3);
  game.Deliver(TEventKind::Minimized);
  EXPECT_EQ(game.Form().ActiveDialog, 3);
  game.Deliver(TEventKind::Restored);
  game.FramesWhile(3);
  game.Frames(1);
  EXPECT_EQ(game.Form().ActiveDialog, 2);  // owed, at the restarted level's banner
  game.Frames(20);
  game.Hold({'P'});
  game.Frames(1);
  game.Hold({VK_UP});
  game.Frames(30);
  const size_t played = game.Sums.size() - first;
  LeaveRace(game);

  const auto kept = game.Kept();
  ASSERT_EQ(kept.size(), 1u);
  ExpectReplayedAsPlayed(kept[0], game, first, played);
}

TEST_F(Recording, AGameTheControllerStartedInsideAFrameReplays) {
  TRecordingGame game(4);
  uint32_t pad = 0;
  game.Form().MDXInput->Joystick.Source = [&pad] {
    TJoystickState s;
    s.Present = true;
    s.Buttons = pad;
    return s;
  };
  while (game.Form().Menu.MenuIntroPhase != 0) game.Frames(1);
  game.ClickButton(1);
  game.Frames(2);
  pad = 1u << cbA;  // A on the boat screen takes the first boat, inside the frame
  game.Frames(1);
  ASSERT_EQ(game.Form().CurrentScreen, 1);
  const size_t first = game.Sums.size();
  pad = 0;
  game.FramesWhile(1);
  game.Hold({VK_UP});
  game.Frames(100);
  const size_t played = game.Sums.size() - first;
  LeaveRace(game);

  const auto kept = game.Kept();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_GT(DecodeReplay(kept[0]).Start.InFrameLag, 0);
  ExpectReplayedAsPlayed(kept[0], game, first, played);
}

// A sent game's replay the server cannot take yet waits with the player's saves and goes
// again later: not before the time the server asked for, at the next start, and not once
// its game is a week old.
TEST_F(Recording, AReplayTheServerCouldNotTakeIsSentAgainLater) {
  std::atomic<int> status{429};
  std::mutex lock;
  std::vector<std::string> bodies;
  Loopback::TListener server([&](int fd, const std::string& head) {
    const size_t length = std::stoul(head.substr(head.find("Content-Length: ") + 16));
    std::string body = head.substr(head.find("\r\n\r\n") + 4);
    while (body.size() < length) body += Loopback::ReadAll(fd, 1000);
    {
      std::lock_guard<std::mutex> hold(lock);
      bodies.push_back(body);
    }
    Loopback::SendAll(fd, "HTTP/1.1 " + std::to_string(status.load()) + " X\r\nRetry-After: 60\r\nContent-Length: 0\r\n"
                          "Connection: close\r\n\r\n");
  });
  const auto sent = [&] {
    std::lock_guard<std::mutex> hold(lock);
    return bodies.size();
  };
  const std::string address = "127.0.0.1:" + std::to_string(server.Port);
  TRecordingGame game;
  const int64_t now = int64_t(std::time(nullptr));
  TReplay replay;
  replay.StartedAt = now - 60;
  replay.Result.Sent = true;
  replay.Stream = TReplayStreamWriter().Finish();
  const std::vector<uint8_t> bytes = EncodeReplay(replay);
  THttpClient client;
  const auto sendReplays = [&client](const std::string& to, const std::vector<uint8_t>& replayBytes, int64_t startedAt) {
    SendReplays(client, to, replayBytes, startedAt, [] {});
    client.Wait();
  };

  // 429: kept, and the server's wish is kept too.
  sendReplays(address, bytes, replay.StartedAt);
  ASSERT_EQ(sent(), 1u);
  ASSERT_EQ(UnsentReplays().size(), 1u);
  EXPECT_GE(UnsentRetryAfter(), now + 60);
  sendReplays(address, {}, 0);
  EXPECT_EQ(sent(), 1u) << "sent again before the server's time";

  // No answer at all: kept the same way.
  sendReplays("127.0.0.1:" + std::to_string(Loopback::DeadPort()), bytes, replay.StartedAt);
  EXPECT_EQ(UnsentReplays().size(), 2u);

  // A week-old game's replay is let go unsent.
  replay.StartedAt = now - UnsentKeepSeconds - 1;
  KeepUnsentReplay(EncodeReplay(replay), replay.StartedAt);
  ASSERT_EQ(UnsentReplays().size(), 3u);

  // The time has come; the game (as at its next start) sends the ones waiting while its
  // frames go on, and the server takes them.
  SetUnsentRetryAfter(0);
  status = 201;
  SetScoreServerOverride(address);
  UploadReplays(game.Form(), {}, 0);
  game.Frames(5);
  game.Form().Replay.Uploader->Wait();
  EXPECT_EQ(sent(), 3u);
  EXPECT_TRUE(bodies[2] == std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(UnsentReplays().empty());
}

// The runner as a score server or a player uses it: its verdict and exit status.
struct TRunnerResult {
  int Status = -1;
  std::string Out, Err;
};

TRunnerResult RunRunner(const std::string& args) {
  const std::string out = "runner.out", err = "runner.err";
  const int raw = std::system(("'" + std::string(SPRAYRUSH_RUNNER) + "' " + args + " >" + out + " 2>" + err).c_str());
  TRunnerResult r;
  r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ostringstream o, e;
  o << std::ifstream(out).rdbuf();
  e << std::ifstream(err).rdbuf();
  r.Out = o.str();
  r.Err = e.str();
  return r;
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST_F(Recording, OneChangedInputFrameEndsDifferentlyAndTheRunnerRefusesIt) {
  // A race recorded as the runner records one: weaving with the throttle held.
  TGameRig rig;
  rig.Form->Replay.Mode = TRecordMode::Script;
  rig.Start();
  ShowBoatScreen(*rig.Form);
  rig.Form->RandomGen.RandSeed = 21;
  rig.Form->HotButton = 7;
  rig.Form->MDXDrawClick();
  for (int frame = 0; frame < 900; ++frame) {
    rig.Hold({VK_UP, uint16_t(frame / 40 % 2 ? VK_LEFT : VK_RIGHT)});
    rig.Frame();
  }
  const std::vector<uint8_t> good = FinishRecording(*rig.Form);
  const TReplay replay = DecodeReplay(good);
  EXPECT_TRUE(Replay(good).Outcome.Reproduced);

  // One frame early in the race lets go of the throttle.
  const std::vector<uint8_t> altered = WithFrameChanged(good, 200, [](TReplayInput& input) {
    input.States &= ~(uint64_t(1) << isUp);
  });
  const TReplayed other = Replay(altered);
  EXPECT_FALSE(other.Outcome.Reproduced);
  EXPECT_NE(other.Outcome.Checksum, replay.Result.Checksum);

  TReplay newer = replay;
  newer.Simulation = SimulationVersion + 1;
  std::vector<uint8_t> damaged = good;
  damaged[damaged.size() / 2] ^= 0x10;
  std::vector<uint8_t> oversized = good;
  oversized.resize(MaxReplayBytes + 1);
  WriteFile("good.replay", good);
  WriteFile("altered.replay", altered);
  WriteFile("newer.replay", EncodeReplay(newer));
  WriteFile("damaged.replay", damaged);
  WriteFile("cut.replay", std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)));
  WriteFile("oversized.replay", oversized);
  WriteFile("text.replay", {'h', 'e', 'l', 'l', 'o', '\n'});
  char verdict[200];
  std::snprintf(verdict, sizeof verdict,
                "result=reproduced score=%d name= add=5F5F5F5F5F5F5F table=0 sent=0 frames=900 "
                "checksum=%016llx claimed_score=%d",
                replay.Result.Score, static_cast<unsigned long long>(replay.Result.Checksum), replay.Result.Score);
  const struct {
    const char* Args;
    int Status;
    const char* Out;  // the start of standard output
    const char* Err;  // a part of the message
  } cases[] = {
      {"--verify - < good.replay", 0, verdict, ""},
      {"--verify altered.replay", 3, "result=differs score=", "does not come to its recorded end"},
      {"--verify newer.replay", 3, "result=version score=- ", "simulation version"},
      {"--verify damaged.replay", 2, "", "damaged"},
      {"--verify cut.replay", 2, "", "damaged"},
      {"--verify oversized.replay", 2, "", "larger than any game makes"},
      {"--replay text.replay", 2, "", "not a replay"},
      {"--verify missing.replay", 2, "", "cannot read missing.replay"},
      {"--verify good.replay --trace", 2, "", "usage"},
      {"--replay good.replay some-script.txt", 2, "", "usage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args);
    const TRunnerResult r = RunRunner(c.Args);
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(r.Out.rfind(c.Out, 0), 0u) << r.Out;
    EXPECT_NE(r.Err.find(c.Err), std::string::npos) << r.Err;
  }
}

}  // namespace
