#include "game/replay/ReplayFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <istream>

namespace {

constexpr char Magic[4] = {'S', 'R', 'R', 'P'};

// The stream's operations. A byte below RunShort is a run of (byte + 1) frames of the
// current input; a byte from OpPacked on holds up to three frames of the current states with
// move counts 1 to 3 of their own, two bits each, the first in bits 5-4 (0: no frame).
enum : uint8_t {
  RunShort = 0x80,  // below it: a short run
  RunLong = 0x80,   // then a count
  SetStates = 0x81,
  SetButtons = 0x82,
  SetLag = 0x83,
  OpChar = 0x84,
  OpCtrlDown = 0x85,
  OpCtrlUp = 0x86,
  OpPointer = 0x87,
  OpClick = 0x88,
  OpClose = 0x89,
  OpMinimise = 0x8A,
  OpSendOver = 0x8B,
  OpEnd = 0x8C,
  OpPacked = 0xC0,
};

constexpr uint64_t StatesLimit = uint64_t(1) << 36;

void PutVarint(std::vector<uint8_t>& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(uint8_t(v | 0x80));
    v >>= 7;
  }
  out.push_back(uint8_t(v));
}

uint64_t ZigZag(int64_t v) { return (uint64_t(v) << 1) ^ uint64_t(v >> 63); }
int64_t UnZigZag(uint64_t v) { return int64_t(v >> 1) ^ -int64_t(v & 1); }

void PutRun(std::vector<uint8_t>& out, uint32_t run) {
  if (run == 0) return;
  if (run <= RunShort) {
    out.push_back(uint8_t(run - 1));
  } else {
    out.push_back(RunLong);
    PutVarint(out, run);
  }
}

class TWriter {
 public:
  std::vector<uint8_t> Out;
  void U8(uint8_t v) { Out.push_back(v); }
  void U16(uint16_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void Text(const std::string& s) {
    // A longer text cannot come from the game; it is cut rather than making a file the
    // reader refuses.
    const size_t n = std::min(s.size(), MaxReplayText);
    U16(uint16_t(n));
    Out.insert(Out.end(), s.begin(), s.begin() + std::ptrdiff_t(n));
  }

 private:
  void Le(uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) Out.push_back(uint8_t(v >> (8 * i)));
  }
};

class TReader {
 public:
  explicit TReader(std::span<const uint8_t> in) : In(in) {}
  std::span<const uint8_t> In;
  size_t Pos = 0;

  uint8_t U8() { return uint8_t(Le(1)); }
  uint16_t U16() { return uint16_t(Le(2)); }
  uint32_t U32() { return uint32_t(Le(4)); }
  uint64_t U64() { return Le(8); }
  std::string Text() {
    const uint16_t n = U16();
    if (n > MaxReplayText) throw EReplayDamaged("the replay is damaged (a text is too long)");
    Need(n);
    std::string s(reinterpret_cast<const char*>(In.data() + Pos), n);
    Pos += n;
    return s;
  }
  void Need(size_t n) const {
    if (In.size() - Pos < n) throw EReplayDamaged("the replay is cut short");
  }

 private:
  uint64_t Le(int bytes) {
    Need(size_t(bytes));
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(In[Pos + size_t(i)]) << (8 * i);
    Pos += size_t(bytes);
    return v;
  }
};

[[noreturn]] void Damaged(const char* what) {
  throw EReplayDamaged(std::string("the replay is damaged (") + what + ")");
}

}  // namespace

// --- the stream ---

void TReplayStreamWriter::Flush() {
  const std::vector<int32_t>& p = Pending;
  // How many frames from `at` on share its move count, counting up to `most`.
  auto stretch = [&p](size_t at, size_t most) {
    size_t n = 0;
    while (at + n < p.size() && n < most && p[at + n] == p[at]) ++n;
    return n;
  };
  for (size_t i = 0; i < p.size();) {
    const size_t same = stretch(i, p.size());
    // A steady move count is a run; a late frame now and then (a busy machine) goes packed.
    if (same >= 4 || p[i] > 3) {
      if (p[i] != Current.Lag) {
        Out.push_back(SetLag);
        PutVarint(Out, uint64_t(p[i]));
        Current.Lag = p[i];
      }
      PutRun(Out, uint32_t(same));
      i += same;
      continue;
    }
    uint8_t op = OpPacked;
    for (int k = 0; k < 3 && i < p.size() && p[i] <= 3 && (k == 0 || stretch(i, 4) < 4); ++k, ++i)
      op |= uint8_t(p[i] << (4 - 2 * k));
    Out.push_back(op);
  }
  Pending.clear();
}

void TReplayStreamWriter::Event(const TReplayEvent& e) {
  Flush();
  switch (e.Kind) {
    case TReplayEventKind::Char:
      Out.push_back(OpChar);
      Out.push_back(e.Char);
      break;
    case TReplayEventKind::CtrlDown: Out.push_back(OpCtrlDown); break;
    case TReplayEventKind::CtrlUp: Out.push_back(OpCtrlUp); break;
    case TReplayEventKind::Pointer:
      Out.push_back(OpPointer);
      PutVarint(Out, ZigZag(std::clamp(e.X, -MaxReplayPointer, MaxReplayPointer)));
      PutVarint(Out, ZigZag(std::clamp(e.Y, -MaxReplayPointer, MaxReplayPointer)));
      break;
    case TReplayEventKind::Click: Out.push_back(OpClick); break;
    case TReplayEventKind::Close: Out.push_back(OpClose); break;
    case TReplayEventKind::Minimise: Out.push_back(OpMinimise); break;
    case TReplayEventKind::SendOver: Out.push_back(OpSendOver); break;
  }
}

void TReplayStreamWriter::Frame(const TReplayInput& input) {
  ++FFrames;
  const uint64_t states = input.States & (StatesLimit - 1);
  if (!Pending.empty() && (states != Current.States || input.ControllerButtons != Current.ControllerButtons))
    Flush();
  if (Pending.empty()) {
    if (states != Current.States) {
      Out.push_back(SetStates);
      PutVarint(Out, states);
      Current.States = states;
    }
    if (input.ControllerButtons != Current.ControllerButtons) {
      Out.push_back(SetButtons);
      PutVarint(Out, input.ControllerButtons);
      Current.ControllerButtons = input.ControllerButtons;
    }
  }
  Pending.push_back(std::clamp(input.Lag, 1, MaxReplayLag));
}

std::vector<uint8_t> TReplayStreamWriter::Finish() const {
  TReplayStreamWriter rest = *this;
  rest.Flush();
  rest.Out.push_back(OpEnd);
  return rest.Out;
}

uint64_t TReplayStreamReader::Varint() {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (Pos >= In.size()) Damaged("the frames are cut short");
    const uint8_t b = In[Pos++];
    if (shift == 63 && b > 1) break;
    v |= uint64_t(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
  Damaged("a number is too long");
}

TReplayItem TReplayStreamReader::Next() {
  TReplayItem item;
  if (Run > 0) {
    --Run;
    item.Kind = TReplayItem::Frame;
    item.Input = Current;
    return item;
  }
  if (PackedLeft > 0) {
    item.Kind = TReplayItem::Frame;
    item.Input = Current;
    item.Input.Lag = Packed[0];
    Packed[0] = Packed[1];
    --PackedLeft;
    return item;
  }
  auto startRun = [&](uint64_t n) {
    if (n == 0 || n > MaxReplayFrames - FFrames) Damaged("too many frames");
    FFrames += uint32_t(n);
    EventsSinceFrame = 0;
    Run = uint32_t(n - 1);
    item.Kind = TReplayItem::Frame;
    item.Input = Current;
    return item;
  };
  auto event = [&](TReplayEventKind kind) {
    if (++EventsSinceFrame > MaxReplayEventsPerFrame) Damaged("too many events in one frame");
    item.Kind = TReplayItem::Event;
    item.Ev.Kind = kind;
    return item;
  };
  // Input changes only set what the next frames use; a loop, not recursion, however many.
  while (!Ended) {
    if (Pos >= In.size()) Damaged("the frames have no end");
    const uint8_t op = In[Pos++];
    if (op < RunShort) return startRun(uint64_t(op) + 1);
    if (op >= OpPacked) {
      const int32_t lags[3] = {(op >> 4) & 3, (op >> 2) & 3, op & 3};
      const int count = !lags[0] ? 0 : !lags[1] ? 1 : !lags[2] ? 2 : 3;
      if (count == 0 || (count == 1 && lags[2])) Damaged("a packed frame out of order");
      item = startRun(uint64_t(count));
      Run = 0;
      item.Input.Lag = lags[0];
      Packed[0] = lags[1];
      Packed[1] = lags[2];
      PackedLeft = count - 1;
      return item;
    }
    switch (op) {
      case RunLong:
        return startRun(Varint());
      case SetStates: {
        const uint64_t v = Varint();
        if (v >= StatesLimit) Damaged("an input state out of range");
        Current.States = v;
        break;
      }
      case SetButtons: {
        const uint64_t v = Varint();
        if (v > UINT32_MAX) Damaged("a controller state out of range");
        Current.ControllerButtons = uint32_t(v);
        break;
      }
      case SetLag: {
        const uint64_t v = Varint();
        if (v < 1 || v > uint64_t(MaxReplayLag)) Damaged("a move count out of range");
        Current.Lag = int32_t(v);
        break;
      }
      case OpChar:
        if (Pos >= In.size()) Damaged("the frames are cut short");
        item = event(TReplayEventKind::Char);
        item.Ev.Char = In[Pos++];
        return item;
      case OpCtrlDown: return event(TReplayEventKind::CtrlDown);
      case OpCtrlUp: return event(TReplayEventKind::CtrlUp);
      case OpPointer: {
        const int64_t x = UnZigZag(Varint()), y = UnZigZag(Varint());
        if (x < -MaxReplayPointer || x > MaxReplayPointer || y < -MaxReplayPointer || y > MaxReplayPointer)
          Damaged("a pointer position out of range");
        item = event(TReplayEventKind::Pointer);
        item.Ev.X = int32_t(x);
        item.Ev.Y = int32_t(y);
        return item;
      }
      case OpClick: return event(TReplayEventKind::Click);
      case OpClose: return event(TReplayEventKind::Close);
      case OpMinimise: return event(TReplayEventKind::Minimise);
      case OpSendOver: return event(TReplayEventKind::SendOver);
      case OpEnd:
        if (Pos != In.size()) Damaged("bytes after the end of the frames");
        Ended = true;
        break;
      default:
        Damaged("an unknown operation");
    }
  }
  return item;
}

// --- the file ---

uint32_t ReplayCrc32(std::span<const uint8_t> bytes) {
  static const std::array<uint32_t, 256> Table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) crc = Table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> ReadReplayBytes(std::istream& in) {
  std::vector<uint8_t> bytes;
  constexpr size_t Chunk = 64 * 1024;
  while (in && bytes.size() <= MaxReplayBytes) {
    const size_t had = bytes.size();
    bytes.resize(had + std::min(Chunk, MaxReplayBytes + 1 - had));
    in.read(reinterpret_cast<char*>(bytes.data() + had), std::streamsize(bytes.size() - had));
    bytes.resize(had + size_t(in.gcount()));
  }
  return bytes;
}

std::vector<uint8_t> EncodeReplay(const TReplay& r) {
  TWriter w;
  w.Out.insert(w.Out.end(), std::begin(Magic), std::end(Magic));
  w.U8(ReplayFormatVersion);
  w.U16(r.Simulation);
  w.U32(r.DataFingerprint);
  w.U64(uint64_t(r.StartedAt));
  const TReplayStart& s = r.Start;
  w.U8(s.Boat);
  w.U32(s.RandSeed);
  w.U16(s.Keys);
  w.U32(s.ControllerButtons);
  w.U32(uint32_t(s.InFrameLag));
  w.U64(s.InFrameStates);
  w.Text(s.PlayerName);
  w.Text(s.AddInfo);
  for (const TReplayEntry& e : s.Table) {
    w.Text(e.Name);
    w.U32(uint32_t(e.Points));
    w.U32(uint32_t(e.Extra1));
    w.U32(uint32_t(e.Extra2));
  }
  const TReplayResult& res = r.Result;
  w.Text(res.PlayerName);
  w.U32(uint32_t(res.Score));
  w.U8(uint8_t(res.EnteredTable) | uint8_t(res.Sent) << 1);
  w.U32(res.Frames);
  w.U64(res.Checksum);
  w.U32(uint32_t(r.Stream.size()));
  w.Out.insert(w.Out.end(), r.Stream.begin(), r.Stream.end());
  w.U32(ReplayCrc32(w.Out));
  return w.Out;
}

TReplay DecodeReplay(std::span<const uint8_t> bytes) {
  if (bytes.size() > MaxReplayBytes) throw EReplayDamaged("the replay is larger than any game makes");
  if (bytes.size() < sizeof Magic + 4 || std::memcmp(bytes.data(), Magic, sizeof Magic) != 0)
    throw EReplayDamaged("this is not a replay of the game");
  const std::span<const uint8_t> body = bytes.first(bytes.size() - 4);
  TReader tail(bytes.last(4));
  if (tail.U32() != ReplayCrc32(body)) throw EReplayDamaged("the replay is damaged (its check sum differs)");

  TReader in(body);
  in.Pos = sizeof Magic;
  const uint8_t format = in.U8();
  if (format != ReplayFormatVersion)
    throw EReplayVersion("the replay has file format " + std::to_string(format) + ", this game reads " +
                         std::to_string(ReplayFormatVersion));
  TReplay r;
  r.Simulation = in.U16();
  r.DataFingerprint = in.U32();
  r.StartedAt = int64_t(in.U64());
  TReplayStart& s = r.Start;
  s.Boat = in.U8();
  if (s.Boat < 1 || s.Boat > 3) Damaged("no such boat");
  s.RandSeed = in.U32();
  s.Keys = in.U16();
  if (s.Keys & ~uint16_t(rkAll)) Damaged("unknown key flags");
  s.ControllerButtons = in.U32();
  s.InFrameLag = int32_t(in.U32());
  if (s.InFrameLag < 0 || s.InFrameLag > MaxReplayLag) Damaged("a move count out of range");
  s.InFrameStates = in.U64();
  if (s.InFrameStates >= StatesLimit) Damaged("an input state out of range");
  s.PlayerName = in.Text();
  s.AddInfo = in.Text();
  for (TReplayEntry& e : s.Table) {
    e.Name = in.Text();
    e.Points = int32_t(in.U32());
    e.Extra1 = int32_t(in.U32());
    e.Extra2 = int32_t(in.U32());
  }
  TReplayResult& res = r.Result;
  res.PlayerName = in.Text();
  res.Score = int32_t(in.U32());
  const uint8_t flags = in.U8();
  if (flags & ~3u) Damaged("unknown result flags");
  res.EnteredTable = flags & 1;
  res.Sent = flags & 2;
  res.Frames = in.U32();
  if (res.Frames > MaxReplayFrames) Damaged("too many frames");
  res.Checksum = in.U64();
  const uint32_t length = in.U32();
  if (length != in.In.size() - in.Pos) Damaged("the frames do not fill the file");
  r.Stream.assign(body.begin() + std::ptrdiff_t(in.Pos), body.end());

  // The whole stream is read once here, so that a re-play never meets a bad byte halfway.
  TReplayStreamReader stream(r.Stream);
  while (stream.Next().Kind != TReplayItem::End) {
  }
  if (stream.Frames() != res.Frames) Damaged("the frame count differs");
  return r;
}

void CheckSimulation(const TReplay& replay, std::optional<uint32_t> dataFingerprint) {
  if (replay.Simulation != SimulationVersion)
    throw EReplayVersion("the replay was made by simulation version " + std::to_string(replay.Simulation) +
                         ", this game runs version " + std::to_string(SimulationVersion));
  if (dataFingerprint && replay.DataFingerprint != *dataFingerprint)
    throw EReplayVersion("the replay was made with other game pictures than these");
}

std::optional<std::string> BeyondAPerson(const TReplay& replay) {
  TReplayStreamReader stream(replay.Stream);
  uint64_t events = 0, frames = 0;
  uint32_t waiting = 0;  // events since the last frame
  for (TReplayItem item = stream.Next(); item.Kind != TReplayItem::End; item = stream.Next()) {
    if (item.Kind == TReplayItem::Event) {
      ++events;
      ++waiting;
      continue;
    }
    ++frames;
    if (waiting > PersonEventsPerFrame + PersonEventsPerLag * uint32_t(item.Input.Lag))
      return "more window events between two frames than a person makes";
    waiting = 0;
  }
  if (waiting > PersonEventsPerFrame) return "more window events after the last frame than a person makes";
  if (events > frames + PersonEventsBeyondFrames) return "more window events than a person makes in so many frames";
  return std::nullopt;
}
