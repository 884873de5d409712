#pragma once
// A recorded game as a file: what the game started from, what it claims to have ended
// with, and what the frame loop fed into every frame, run-length coded. The reader takes
// untrusted bytes (a replay downloaded, or sent to a score server): every size and count
// is bounded, and anything it does not understand is refused whole before a frame runs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// The layout of the file.
constexpr uint8_t ReplayFormatVersion = 1;
// Raised whenever a change to the game makes the same inputs play differently.
constexpr uint16_t SimulationVersion = 1;

// What a reader accepts: four hours of play, texts as long as the options file allows.
constexpr size_t MaxReplayBytes = 2u << 20;
constexpr uint32_t MaxReplayFrames = 4u * 3600u * 1000u / 15u;
constexpr size_t MaxReplayText = 4096;
// A frame's move count; a longer stall than this (a quarter of an hour) counts as this.
constexpr int32_t MaxReplayLag = 65535;
// Window events between two frames (typed characters, clicks, pointer moves).
constexpr uint32_t MaxReplayEventsPerFrame = 4096;
// Pointer positions in surface pixels; beyond this a position hits nothing either way.
constexpr int32_t MaxReplayPointer = 65535;

// Not a replay, cut short, too large, or its bytes do not add up.
class EReplayDamaged : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A replay of another file format, simulation version or game data: it cannot be re-played
// to its end here.
class EReplayVersion : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TReplayEntry {
  std::string Name;  // Windows-1251
  int32_t Points = 0, Extra1 = 0, Extra2 = 0;
  bool operator==(const TReplayEntry&) const = default;
};

// Bits of TReplayStart::Keys: the key latches of the frame loop at the boat choice.
enum TReplayKeyBit : uint16_t {
  rkPauseWasDown = 1 << 0, rkEscapeWasDown = 1 << 1, rkYesWasDown = 1 << 2, rkNoWasDown = 1 << 3,
  rkPausePressed = 1 << 4, rkEscapePressed = 1 << 5, rkYesPressed = 1 << 6, rkNoPressed = 1 << 7,
  rkCtrlHeld = 1 << 8, rkNavKeysReleased = 1 << 9,
  rkAll = (1 << 10) - 1
};

// Everything a race's outcome depends on that it does not set up itself.
struct TReplayStart {
  uint8_t Boat = 1;  // 1..3
  uint32_t RandSeed = 0;
  uint16_t Keys = 0;  // TReplayKeyBit
  uint32_t ControllerButtons = 0;  // the controller's buttons in the frame before
  // A controller's button chose the boat inside a frame; that frame's screen handler ran
  // with this move count right after (0: the boat was chosen between frames).
  int32_t InFrameLag = 0;
  uint64_t InFrameStates = 0;  // and with these input states
  std::string PlayerName;  // offered again by the name entry
  std::string AddInfo;     // the options' free text, sent with the result
  std::array<TReplayEntry, 11> Table;  // high-score slots 1..11 ([0] is slot 1)
  bool operator==(const TReplayStart&) const = default;
};

// What the recorded game ended with; a re-play must come to the same.
struct TReplayResult {
  std::string PlayerName;
  int32_t Score = 0;
  bool EnteredTable = false;  // the name entry put the result into the local table
  bool Sent = false;          // the player sent the result online
  uint32_t Frames = 0;
  uint64_t Checksum = 0;      // of the whole game state after the last frame
  bool operator==(const TReplayResult&) const = default;
};

struct TReplay {
  uint16_t Simulation = SimulationVersion;
  uint32_t DataFingerprint = 0;  // the picture libraries' names and sizes
  int64_t StartedAt = 0;         // seconds since 1970 (UTC); only for people
  TReplayStart Start;
  TReplayResult Result;
  std::vector<uint8_t> Stream;   // TReplayStreamWriter's output
};

// Reads a stream to its end, but never more than one byte beyond MaxReplayBytes (so that an
// oversized input is told apart without being read whole).
std::vector<uint8_t> ReadReplayBytes(std::istream& in);

std::vector<uint8_t> EncodeReplay(const TReplay& replay);
// The CRC-32 a replay file ends with, over the bytes before it.
uint32_t ReplayCrc32(std::span<const uint8_t> bytes);
// Raises EReplayDamaged, or EReplayVersion for another file format; the stream of a replay
// that comes back decodes whole within the limits, to exactly Result.Frames frames.
TReplay DecodeReplay(std::span<const uint8_t> bytes);
// Raises EReplayVersion unless the replay was made by this simulation (and, when given,
// on this data).
void CheckSimulation(const TReplay& replay, std::optional<uint32_t> dataFingerprint = std::nullopt);

// What hands on the keys and the mouse can make: between two frames a few events and a
// couple more for each 15 ms the frame was late (typing, a held key repeating, the pointer
// crossing buttons, a double click), and in all about one event a frame (a key held to
// repeat makes one every two frames). Far above any game played, far below a replay made
// to keep a re-play busy.
constexpr uint32_t PersonEventsPerFrame = 8, PersonEventsPerLag = 2, PersonEventsBeyondFrames = 1024;
// Why no person could have made the replay's events; nothing when one could.
std::optional<std::string> BeyondAPerson(const TReplay& replay);

// --- the stream ---

// The input states (bit i = state i), the controller's buttons and the move count.
struct TReplayInput {
  uint64_t States = 0;
  uint32_t ControllerButtons = 0;
  int32_t Lag = 1;
  bool operator==(const TReplayInput&) const = default;
};

enum class TReplayEventKind : uint8_t {
  Char,      // a typed character, Enter, Escape or Backspace (Char)
  CtrlDown,
  CtrlUp,
  Pointer,   // the mouse moved to (X, Y) and the hot button changed
  Click,
  Close,     // the window's close box
  Minimise,
  SendOver,  // the result being sent has its answer
};

struct TReplayEvent {
  TReplayEventKind Kind = TReplayEventKind::Click;
  uint8_t Char = 0;
  int32_t X = 0, Y = 0;
  bool operator==(const TReplayEvent&) const = default;
};

// Window events go in as they come; each frame's input follows them.
class TReplayStreamWriter {
 public:
  void Event(const TReplayEvent& event);
  void Frame(const TReplayInput& input);
  // The stream so far, closed.
  std::vector<uint8_t> Finish() const;
  uint32_t Frames() const { return FFrames; }
  size_t Size() const { return Out.size() + Pending.size() + 16; }

 private:
  void Flush();
  std::vector<uint8_t> Out;
  TReplayInput Current;  // the states and buttons of the pending frames, the move count in force
  std::vector<int32_t> Pending;  // the move counts of frames not yet written
  uint32_t FFrames = 0;
};

struct TReplayItem {
  enum TKind { Event, Frame, End } Kind = End;
  TReplayEvent Ev;
  TReplayInput Input;
};

// Reads a stream back, item by item; raises EReplayDamaged at a byte it does not accept.
class TReplayStreamReader {
 public:
  explicit TReplayStreamReader(std::span<const uint8_t> stream) : In(stream) {}
  TReplayItem Next();
  uint32_t Frames() const { return FFrames; }

 private:
  uint64_t Varint();
  std::span<const uint8_t> In;
  size_t Pos = 0;
  TReplayInput Current;
  uint32_t Run = 0;  // frames of Current still to come
  int32_t Packed[2] = {};  // move counts of packed frames still to come
  int PackedLeft = 0;
  uint32_t FFrames = 0;
  uint32_t EventsSinceFrame = 0;
  bool Ended = false;
};
