#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "media/DXClass/Application.h"
#include "media/DXClass/DXTimer.h"

namespace {

struct TTimerRig {
  uint32_t Now = 100000;
  TApplication Application{[this] { return Now; }};
  TDXTimer Timer{Application};
  std::vector<int32_t> Lags;

  TTimerRig() {
    Timer.SetEnabled(false);
    Timer.SetInterval(15);
    Timer.OnTimer = [this](TDXTimer&, int32_t lag) { Lags.push_back(lag); };
    Timer.SetEnabled(true);
  }
};

}  // namespace

TEST(DXTimer, MoveCountIsTheNumberOfWholeIntervals) {
  struct {
    uint32_t Delay;
    std::vector<int32_t> Lags;
  } cases[] = {{14, {}}, {15, {1}}, {29, {1}}, {30, {2}}, {44, {2}}, {47, {3}}, {0, {}}};
  for (const auto& c : cases) {
    TTimerRig rig;
    rig.Now += c.Delay;
    rig.Application.Idle();
    EXPECT_EQ(rig.Lags, c.Lags) << c.Delay << " ms";
  }
}

TEST(DXTimer, EachTickMeasuresFromThePreviousOne) {
  TTimerRig rig;
  for (uint32_t step : {16u, 14u, 1u, 31u}) {
    rig.Now += step;
    rig.Application.Idle();
  }
  // 16 -> tick; 14 -> too early; +1 = 15 since the tick -> tick; 31 -> tick with two.
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{1, 1, 2}));
}

TEST(DXTimer, TheLoopSleepsUntilTheNextTickIsDue) {
  TTimerRig rig;
  EXPECT_EQ(rig.Application.IdleWaitMs(), 15);
  rig.Now += 10;
  EXPECT_EQ(rig.Application.IdleWaitMs(), 5);
  rig.Now += 20;
  EXPECT_EQ(rig.Application.IdleWaitMs(), 0);
  rig.Timer.SetEnabled(false);
  EXPECT_EQ(rig.Application.IdleWaitMs(), -1);  // nothing to wake up for
}

TEST(DXTimer, TheClockWrappingAroundKeepsTheRhythm) {
  TTimerRig rig;
  rig.Now = 0xFFFFFFF0u;
  rig.Timer.SetEnabled(false);
  rig.Timer.SetEnabled(true);
  rig.Now += 31;  // past the wrap
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{2}));
}

TEST(DXTimer, EnablingRestartsTheReferenceTime) {
  TTimerRig rig;
  rig.Now += 100;
  rig.Timer.SetEnabled(false);
  rig.Timer.SetEnabled(true);
  rig.Now += 14;
  rig.Application.Idle();
  EXPECT_TRUE(rig.Lags.empty());
  rig.Timer.SetEnabled(true);  // no change: the reference time stays
  rig.Now += 1;
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{1}));
}

TEST(DXTimer, InBackgroundNoFramesRunAndReturningRestartsTheTime) {
  TTimerRig rig;
  int activations = 0, deactivations = 0;
  rig.Timer.OnActivate = [&](TDXTimer&) { ++activations; };
  rig.Timer.OnDeactivate = [&](TDXTimer&) { ++deactivations; };
  rig.Application.SetActive(false);
  EXPECT_FALSE(rig.Timer.Running());
  EXPECT_EQ(rig.Application.IdleWaitMs(), -1);
  rig.Now += 500;
  rig.Application.Idle();
  EXPECT_TRUE(rig.Lags.empty());
  rig.Application.SetActive(true);
  rig.Now += 20;
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{1}));  // not 34 intervals of absence
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(deactivations, 1);
}

TEST(DXTimer, WithoutActiveOnlyItRunsInBackground) {
  TTimerRig rig;
  rig.Timer.ActiveOnly = false;
  rig.Application.SetActive(false);
  rig.Now += 15;
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags.size(), 1u);
}

TEST(DXTimer, EnablingWhileInBackgroundWaitsForTheApplication) {
  TTimerRig rig;
  rig.Timer.SetEnabled(false);
  rig.Application.SetActive(false);
  rig.Timer.SetEnabled(true);
  EXPECT_TRUE(rig.Timer.Enabled());
  EXPECT_FALSE(rig.Timer.Running());
  rig.Application.SetActive(true);
  EXPECT_TRUE(rig.Timer.Running());
}

TEST(DXTimer, FrameRateCountsTicksOverASecond) {
  TTimerRig rig;
  for (int i = 0; i < 67; ++i) {
    rig.Now += 15;
    rig.Application.Idle();
  }
  EXPECT_EQ(rig.Timer.FrameRate(), 67);  // 67 ticks in 1005 ms
}

TEST(DXTimer, IntervalAndDivisorRules) {
  TTimerRig rig;
  rig.Timer.SetInterval(-5);
  EXPECT_EQ(rig.Timer.Interval(), 0u);
  rig.Application.Idle();  // interval 0 ticks every time, divisor 1
  rig.Now += 3;
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{1, 3}));
}

TEST(DXTimer, DefaultsWithoutDescription) {
  TApplication application([] { return 0u; });
  TDXTimer timer(application);
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(timer.ActiveOnly);
  EXPECT_TRUE(timer.Running());
}

TEST(DXTimer, AHandlerMayStopItsOwnTimer) {
  TTimerRig rig;
  rig.Timer.OnTimer = [&](TDXTimer& t, int32_t lag) {
    rig.Lags.push_back(lag);
    t.SetEnabled(false);
  };
  rig.Now += 15;
  rig.Application.Idle();
  rig.Now += 15;
  rig.Application.Idle();
  EXPECT_EQ(rig.Lags.size(), 1u);
}

// The browser calls the loop once per display frame; the timer must keep its 15 ms pace
// whatever the display's rate, without drifting, and after a stall tick once with the gap.
TEST(DXTimer, DisplayFramesKeepTheFifteenMillisecondPace) {
  struct {
    const char* Display;
    std::vector<uint32_t> FrameMs;  // repeated for three seconds
  } cases[] = {{"60 Hz", {17, 17, 16}}, {"144 Hz", {7, 7, 7, 6, 7}}, {"30 Hz", {33, 34}}, {"jittery", {5, 30, 12, 20}}};
  for (const auto& c : cases) {
    TTimerRig rig;
    rig.Application.AnimationFrame();
    uint32_t elapsed = 0;
    for (size_t i = 0; elapsed < 3000; ++i) {
      const uint32_t step = c.FrameMs[i % c.FrameMs.size()];
      rig.Now += step;
      elapsed += step;
      rig.Application.AnimationFrame();
    }
    EXPECT_NEAR(double(rig.Lags.size()), elapsed / 15.0, 1.0) << c.Display;
    EXPECT_EQ(std::count(rig.Lags.begin(), rig.Lags.end(), 1), std::ptrdiff_t(rig.Lags.size())) << c.Display;
  }
  TTimerRig rig;
  rig.Application.AnimationFrame();
  rig.Now += 15;
  rig.Application.AnimationFrame();
  rig.Now += 600;  // the page was in the background
  rig.Application.AnimationFrame();
  rig.Now += 15;
  rig.Application.AnimationFrame();
  EXPECT_EQ(rig.Lags, (std::vector<int32_t>{1, 40, 1}));
}
