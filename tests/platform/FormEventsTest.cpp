#include <gtest/gtest.h>

#include <vector>

#include "media/DXClass/Application.h"
#include "media/DXClass/DXForm.h"
#include "media/DXClass/DXTimer.h"

using Platform::TEvent;
using Platform::TEventKind;

namespace {

class TRecordingForm : public TDXForm {
 public:
  explicit TRecordingForm(TApplication& app) : TDXForm(app, "Test", 320, 200) {}
  bool AllowClose = false;
  int CloseQueries = 0, Clicks = 0, DblClicks = 0, Minimises = 0;
  std::vector<uint8_t> Chars;

  void WMSysCommand(uint32_t command) override {
    if ((command & 0xFFF0) == SC_MINIMIZE) ++Minimises;
    TDXForm::WMSysCommand(command);
  }

 protected:
  void CloseQuery(bool& canClose) override {
    ++CloseQueries;
    canClose = AllowClose;
  }
  void Click() override { ++Clicks; }
  void DblClick() override { ++DblClicks; }
  void KeyPress(uint8_t& key) override { Chars.push_back(key); }
};

TEvent Mouse(TEventKind kind, int x, int y, uint8_t clicks, uint8_t button = Platform::mbLeft) {
  TEvent e;
  e.Kind = kind;
  e.X = x;
  e.Y = y;
  e.Button = button;
  e.Clicks = clicks;
  return e;
}

}  // namespace

TEST(FormEvents, ACloseRequestAsksTheFormFirst) {
  TApplication app([] { return 0u; });
  TRecordingForm form(app);
  Platform::TEventQueue::Post(TEventKind::CloseRequest, form.Window->Id());
  app.ProcessMessages();
  EXPECT_EQ(form.CloseQueries, 1);
  EXPECT_FALSE(app.Terminated());
  form.AllowClose = true;
  Platform::TEventQueue::Post(TEventKind::CloseRequest, form.Window->Id());
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}

TEST(FormEvents, MinimisingRunsTheSystemCommand) {
  TApplication app([] { return 0u; });
  TRecordingForm form(app);
  Platform::TEventQueue::Post(TEventKind::Minimized, form.Window->Id());
  app.ProcessMessages();
  EXPECT_EQ(form.Minimises, 1);
  EXPECT_EQ(form.WindowState, TWindowState::wsMinimized);
  Platform::TEventQueue::Post(TEventKind::Restored, form.Window->Id());
  app.ProcessMessages();
  EXPECT_EQ(form.WindowState, TWindowState::wsNormal);
}

TEST(FormEvents, FocusDecidesWhetherTheApplicationIsActive) {
  TApplication app([] { return 0u; });
  TRecordingForm form(app);
  Platform::TEventQueue::Post(TEventKind::Deactivated, form.Window->Id());
  app.ProcessMessages();
  EXPECT_FALSE(app.Active());
  Platform::TEventQueue::Post(TEventKind::Activated, form.Window->Id());
  app.ProcessMessages();
  EXPECT_TRUE(app.Active());
  Platform::TEventQueue::Post(TEventKind::Quit, 0);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}

TEST(FormEvents, ClicksFollowTheSystemControls) {
  TApplication app([] { return 0u; });
  TRecordingForm form(app);
  const uint32_t id = form.Window->Id();
  auto send = [&](TEvent e) {
    e.WindowId = id;
    app.Dispatch(e);
  };
  send(Mouse(TEventKind::MouseDown, 10, 10, 1));
  send(Mouse(TEventKind::MouseUp, 10, 10, 1));
  EXPECT_EQ(form.Clicks, 1);
  // A double click: click, double click, and no click for the second release.
  send(Mouse(TEventKind::MouseDown, 10, 10, 2));
  send(Mouse(TEventKind::MouseUp, 10, 10, 2));
  EXPECT_EQ(form.Clicks, 1);
  EXPECT_EQ(form.DblClicks, 1);
  // Released outside the window, a right button, a release without a press: no click.
  send(Mouse(TEventKind::MouseDown, 10, 10, 1));
  send(Mouse(TEventKind::MouseUp, 320, 10, 1));
  send(Mouse(TEventKind::MouseDown, 10, 10, 1, Platform::mbRight));
  send(Mouse(TEventKind::MouseUp, 10, 10, 1, Platform::mbRight));
  send(Mouse(TEventKind::MouseUp, 10, 10, 1));
  EXPECT_EQ(form.Clicks, 1);
}

TEST(FormEvents, RunSleepsBetweenTicksAndEndsOnTerminate) {
  // The clock moves 5 ms per reading, so the loop reaches its ticks however fast it runs.
  uint32_t now = 0;
  TApplication app([&] { return now += 5; });
  TRecordingForm form(app);
  TDXTimer timer(app);
  timer.SetInterval(15);
  int frames = 0;
  timer.OnTimer = [&](TDXTimer&, int32_t) {
    if (++frames == 3) app.Terminate();
  };
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  app.Run();
  EXPECT_EQ(frames, 3);
  EXPECT_TRUE(form.Window->Visible());
}

TEST(FormEvents, AnExposedOrRestoredWindowIsPaintedAgain) {
  TApplication app([] { return 0u; });
  TRecordingForm form(app);
  std::vector<uint16_t> picture(320 * 200, 0xF800);
  auto present = [&] {
    const uint64_t before = form.Window->PresentCount();
    form.Window->Present(picture.data(), 320, 320, 200);
    return form.Window->PresentCount() - before;
  };
  ASSERT_EQ(present(), 1u);
  ASSERT_EQ(present(), 0u);
  for (TEventKind kind : {TEventKind::Exposed, TEventKind::Restored}) {
    Platform::TEventQueue::Post(kind, form.Window->Id());
    app.ProcessMessages();
    EXPECT_EQ(present(), 1u) << int(kind);
    EXPECT_EQ(present(), 0u) << int(kind);
  }
}
