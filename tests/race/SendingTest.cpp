// The send question's Yes against a score server on this machine: the notice stays up
// while the request runs, and the game goes on to the menu whatever the server does.
#include <atomic>
#include <chrono>
#include <thread>

#include "game/online/SubmitResult.h"
#include "tests/online/Loopback.h"
#include "tests/race/RaceRig.h"

namespace {

class RaceSending : public RaceOnAnEmptyCourse {};

TEST_F(RaceSending, SendingKeepsItsNoticeUpWhileTheServerThinksThenEndsOnTheMenu) {
  std::atomic<bool> answer{false};
  Loopback::TListener server([&answer](int fd, const std::string&) {
    while (!answer) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Loopback::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
  });
  SetScoreServerOverride("127.0.0.1:" + std::to_string(server.Port));
  Race().PlayerName = "Ira";
  Race().Score = 1234;
  OpenDialog(Form(), 6);
  Frames(1);
  Hold({'Y'});
  Frames(1);
  Hold({});
  ASSERT_EQ(Form().ActiveDialog, 7);
  const int framesBefore = Rig.Frames;
  Frames(20);  // the window keeps drawing the notice while the request runs
  EXPECT_EQ(Rig.Frames, framesBefore + 20);
  EXPECT_EQ(Form().ActiveDialog, 7);
  EXPECT_EQ(Form().CurrentScreen, 1);
  answer = true;
  for (int i = 0; i < 500 && Form().CurrentScreen == 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Frames(1);
  }
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().ActiveDialog, 0);
  EXPECT_EQ(Form().Dialog.Window, nullptr);
  EXPECT_EQ(Form().Menu.MenuEntryMode, 3);  // the high scores open after the intro
  const std::string code = EncodeBits(ToBitString(ResultRecord("Ira", 1234, "_______")));
  ASSERT_EQ(server.Heads().size(), 1u);
  EXPECT_EQ(server.Heads()[0].rfind("GET /cgi/version.pl?hs&prg=Sprayrush&inf=" + code + " HTTP/1.1\r\n", 0), 0u)
      << server.Heads()[0];
}

TEST_F(RaceSending, SendingToAServerThatIsNotThereEndsOnTheMenuToo) {
  SetScoreServerOverride("127.0.0.1:" + std::to_string(Loopback::DeadPort()));
  OpenDialog(Form(), 6);
  Frames(1);
  Hold({'Y'});
  Frames(1);
  Hold({});
  EXPECT_EQ(Form().ActiveDialog, 7);
  for (int i = 0; i < 500 && Form().CurrentScreen == 1; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    Frames(1);
  }
  EXPECT_EQ(Form().CurrentScreen, 0);
  EXPECT_EQ(Form().ActiveDialog, 0);
}

}  // namespace
