// The replay file: what goes in comes back, and untrusted bytes that are cut, flipped,
// oversized, of another version or inconsistent are refused whole before a frame runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "game/replay/ReplayFile.h"

namespace {

std::vector<TReplayItem> ItemsOf(const std::vector<uint8_t>& stream) {
  std::vector<TReplayItem> items;
  TReplayStreamReader in(stream);
  for (TReplayItem item = in.Next(); item.Kind != TReplayItem::End; item = in.Next()) items.push_back(item);
  return items;
}

TReplayEvent Event(TReplayEventKind kind, uint8_t ch = 0, int32_t x = 0, int32_t y = 0) { return {kind, ch, x, y}; }

// A replay of every field's kind, with a stream of every item's kind.
TReplay Sample() {
  TReplay r;
  r.DataFingerprint = 0xDEADBEEF;
  r.StartedAt = 1700000000;
  r.Start.Boat = 3;
  r.Start.RandSeed = 0x89ABCDEF;
  r.Start.Keys = rkEscapeWasDown | rkNavKeysReleased | rkCtrlHeld;
  r.Start.ControllerButtons = 1u << 6;
  r.Start.InFrameLag = 2;
  r.Start.InFrameStates = uint64_t(1) << 35;
  r.Start.PlayerName = "\xC8\xF0\xE0";
  r.Start.AddInfo = std::string(MaxReplayText, 'x');
  for (int i = 0; i < 11; ++i) r.Start.Table[size_t(i)] = {"N" + std::to_string(i), 5000 - 500 * i, i, -i};
  TReplayStreamWriter w;
  w.Frame({});
  w.Frame({});
  w.Event(Event(TReplayEventKind::Char, 0xFF));
  w.Event(Event(TReplayEventKind::CtrlDown));
  w.Frame({0b1001, 0, 1});
  for (int i = 0; i < 300; ++i) w.Frame({0b1001, 0, 1});  // a long run
  w.Event(Event(TReplayEventKind::Pointer, 0, -12, 70000));  // beyond the limit: kept at it
  w.Event(Event(TReplayEventKind::Click));
  w.Frame({(uint64_t(1) << 36) - 1, 0xFFFFFFFFu, MaxReplayLag});
  w.Event(Event(TReplayEventKind::CtrlUp));
  w.Event(Event(TReplayEventKind::Close));
  w.Event(Event(TReplayEventKind::Minimise));
  w.Event(Event(TReplayEventKind::SendOver));
  r.Stream = w.Finish();
  r.Result = {"\xC8\xF0\xE0 2", 835, true, true, w.Frames(), 0x0123456789ABCDEFull};
  return r;
}

TEST(ReplayFile, WhatIsWrittenIsReadBackItemByItem) {
  const TReplay r = Sample();
  const std::vector<uint8_t> bytes = EncodeReplay(r);
  const TReplay back = DecodeReplay(bytes);
  EXPECT_EQ(back.Simulation, SimulationVersion);
  EXPECT_EQ(back.DataFingerprint, r.DataFingerprint);
  EXPECT_EQ(back.StartedAt, r.StartedAt);
  EXPECT_EQ(back.Start, r.Start);
  EXPECT_EQ(back.Result, r.Result);
  EXPECT_EQ(back.Stream, r.Stream);
  EXPECT_EQ(EncodeReplay(back), bytes);

  const std::vector<TReplayItem> items = ItemsOf(r.Stream);
  ASSERT_EQ(items.size(), 2u + 2 + 1 + 300 + 2 + 1 + 4);
  EXPECT_EQ(items[0].Kind, TReplayItem::Frame);
  EXPECT_EQ(items[0].Input, TReplayInput{});
  EXPECT_EQ(items[2].Ev, Event(TReplayEventKind::Char, 0xFF));
  EXPECT_EQ(items[3].Ev.Kind, TReplayEventKind::CtrlDown);
  EXPECT_EQ(items[4].Input, (TReplayInput{0b1001, 0, 1}));
  EXPECT_EQ(items[304].Input, (TReplayInput{0b1001, 0, 1}));
  EXPECT_EQ(items[305].Ev, Event(TReplayEventKind::Pointer, 0, -12, MaxReplayPointer));
  EXPECT_EQ(items[306].Ev.Kind, TReplayEventKind::Click);
  EXPECT_EQ(items[307].Input, (TReplayInput{(uint64_t(1) << 36) - 1, 0xFFFFFFFFu, MaxReplayLag}));
  EXPECT_EQ(items[308].Ev.Kind, TReplayEventKind::CtrlUp);
  EXPECT_EQ(items[311].Ev.Kind, TReplayEventKind::SendOver);
}

TEST(ReplayFile, LateFramesOfABusyMachineReadBackInOrder) {
  const std::vector<int32_t> lags = {1, 2, 1, 1, 3, 2, 2, 2, 2, 2, 7, 1, 1, 3, 1, 2, 65535, 2, 2, 1};
  TReplayStreamWriter w;
  for (size_t i = 0; i < lags.size(); ++i) w.Frame({i < 12 ? 1u : 5u, 0, lags[i]});
  std::vector<int32_t> back;
  for (const TReplayItem& item : ItemsOf(w.Finish())) back.push_back(item.Input.Lag);
  EXPECT_EQ(back, lags);
}

TEST(ReplayFile, TenMinutesOfBusyHandsStayWellUnder64KB) {
  // A key changes every eight frames on average; on an idle machine one frame in fifty is
  // late, on a busy one every third, by one or two ticks.
  for (uint32_t lateEvery : {50u, 3u}) {
    TReplayStreamWriter w;
    uint32_t r = 1;
    TReplayInput input;
    for (int frame = 0; frame < 40000; ++frame) {
      r = r * 1103515245u + 12345u;
      if ((r >> 16) % 8 == 0) input.States ^= uint64_t(1) << ((r >> 8) % 9);
      input.Lag = (r >> 20) % lateEvery == 0 ? 2 + int32_t((r >> 4) % 2) : 1;
      w.Frame(input);
    }
    TReplay replay;
    replay.Stream = w.Finish();
    replay.Result.Frames = w.Frames();
    const size_t size = EncodeReplay(replay).size();
    EXPECT_LT(size, 40u * 1024) << "one late frame in " << lateEvery;
  }
}

std::vector<uint8_t> Encoded(const std::function<void(TReplay&)>& change) {
  TReplay r = Sample();
  change(r);
  return EncodeReplay(r);
}

// A stream of the given bytes, its frame count taken from how far it reads.
std::vector<uint8_t> WithStream(std::vector<uint8_t> stream, uint32_t frames) {
  TReplay r = Sample();
  r.Stream = std::move(stream);
  r.Result.Frames = frames;
  return EncodeReplay(r);
}

TEST(ReplayFile, InconsistentContentIsRefusedAsDamaged) {
  std::vector<uint8_t> manyEvents;
  for (uint32_t i = 0; i <= MaxReplayEventsPerFrame; ++i) manyEvents.push_back(0x88);
  manyEvents.push_back(0x8C);
  std::vector<uint8_t> manySettings;  // any number of input changes before a frame is fine
  for (int i = 0; i < 100000; ++i) manySettings.insert(manySettings.end(), {0x83, 0x02});
  manySettings.insert(manySettings.end(), {0x00, 0x8C});
  const struct {
    const char* Reason;  // as the reader words it
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"no such boat", Encoded([](TReplay& r) { r.Start.Boat = 0; })},
      {"no such boat", Encoded([](TReplay& r) { r.Start.Boat = 4; })},
      {"unknown key flags", Encoded([](TReplay& r) { r.Start.Keys = 1 << 12; })},
      {"a move count out of range", Encoded([](TReplay& r) { r.Start.InFrameLag = -1; })},
      {"a move count out of range", Encoded([](TReplay& r) { r.Start.InFrameLag = MaxReplayLag + 1; })},
      {"an input state out of range", Encoded([](TReplay& r) { r.Start.InFrameStates = uint64_t(1) << 36; })},
      {"the frame count differs", Encoded([](TReplay& r) { ++r.Result.Frames; })},
      {"the frame count differs", Encoded([](TReplay& r) { --r.Result.Frames; })},
      {"too many frames", Encoded([](TReplay& r) { r.Result.Frames = MaxReplayFrames + 1; })},
      {"the frames have no end", WithStream({0x00}, 1)},
      {"bytes after the end of the frames", WithStream({0x00, 0x8C, 0x00}, 1)},
      {"an unknown operation", WithStream({0x00, 0x8D, 0x8C}, 1)},
      {"an input state out of range", WithStream({0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x02, 0x00, 0x8C}, 1)},
      {"a move count out of range", WithStream({0x83, 0x00, 0x00, 0x8C}, 1)},
      {"a move count out of range", WithStream({0x83, 0x80, 0x80, 0x04, 0x00, 0x8C}, 1)},
      {"a controller state out of range", WithStream({0x82, 0x80, 0x80, 0x80, 0x80, 0x10, 0x00, 0x8C}, 1)},
      {"a number is too long",
       WithStream({0x80, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x01, 0x8C}, 1)},
      {"too many frames", WithStream({0x80, 0x00, 0x8C}, 0)},
      {"too many frames", WithStream({0x80, 0x81, 0xCC, 0x3A, 0x8C}, MaxReplayFrames)},
      {"a pointer position out of range", WithStream({0x87, 0x80, 0x80, 0x08, 0x00, 0x00, 0x8C}, 1)},
      {"the frames are cut short", WithStream({0x84}, 0)},
      {"a packed frame out of order", WithStream({0xC0, 0x8C}, 0)},
      {"a packed frame out of order", WithStream({0xC4, 0x8C}, 1)},
      {"a packed frame out of order", WithStream({0xD1, 0x8C}, 2)},
      {"too many events in one frame", WithStream(manyEvents, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reason);
    try {
      DecodeReplay(c.Bytes);
      ADD_FAILURE() << "read";
    } catch (const EReplayDamaged& e) {
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(DecodeReplay(WithStream(manySettings, 1)).Result.Frames, 1u);
}

TEST(ReplayFile, EveryCutAndEveryFlippedByteIsRefused) {
  const std::vector<uint8_t> bytes = EncodeReplay(Sample());
  for (size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_THROW(DecodeReplay(std::span(bytes).first(n)), EReplayDamaged);
    std::vector<uint8_t> flipped = bytes;
    flipped[n] ^= 0x04;
    EXPECT_THROW(DecodeReplay(flipped), EReplayDamaged);
  }
}

TEST(ReplayFile, AnOversizedInputIsRefusedAndNeverReadWhole) {
  std::vector<uint8_t> bytes = EncodeReplay(Sample());
  bytes.resize(MaxReplayBytes + 1);
  EXPECT_THROW(DecodeReplay(bytes), EReplayDamaged);
  std::istringstream endless(std::string(3 * MaxReplayBytes, 'x'));
  EXPECT_EQ(ReadReplayBytes(endless).size(), MaxReplayBytes + 1);
  std::istringstream small("SRRP");
  EXPECT_EQ(ReadReplayBytes(small).size(), 4u);
}

TEST(ReplayFile, AnotherSimulationOrOtherPicturesCannotBeReplayedHere) {
  TReplay r = Sample();
  EXPECT_NO_THROW(CheckSimulation(r, 0xDEADBEEF));
  EXPECT_THROW(CheckSimulation(r, 0xDEADBEEE), EReplayVersion);
  r.Simulation = SimulationVersion + 1;
  const TReplay newer = DecodeReplay(EncodeReplay(r));  // read, not re-played
  EXPECT_THROW(CheckSimulation(newer, 0xDEADBEEF), EReplayVersion);
}

TEST(ReplayFile, EveryKeptFuzzInputIsReadOrRefused) {
  const auto dir = std::filesystem::path(SPRAYRUSH_SOURCE_DIR) / "tests/fuzz/corpus/replay_file";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ++files;
    try {
      const TReplay r = DecodeReplay(bytes);
      EXPECT_EQ(EncodeReplay(r), bytes);
    } catch (const EReplayDamaged&) {
    } catch (const EReplayVersion&) {
    }
  }
  EXPECT_GE(files, 4);
}

}  // namespace
