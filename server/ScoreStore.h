#pragma once
// Where results are kept. Everything else talks to this interface only: an SQLite file for
// one machine, PostgreSQL when several servers share one table.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Scores {

struct TScoreEntry {
  std::string Name;  // Windows-1251 bytes, as sent
  int32_t Score = 0;
  std::string AddInfo;  // Windows-1251 bytes, as kept
  int64_t Time = 0;     // seconds since 1970, UTC
  // Whose per-address count the result went to: a replay of the game from the same
  // address proves it. Never shown.
  std::string Client = {};
  // Read back only: the row, whether the server re-played the game to this result, and
  // whether a replay that claims it waits for its re-play.
  int64_t Id = 0;
  bool Proven = false;
  bool Pending = false;
};

// Which part of the table to read: places First + 1 to First + Count.
struct TTableView {
  size_t First = 0;
  size_t Count = 100;
  bool ProvenOnly = false;
};

// A replay taken for its re-play, kept until it is proven or refused. What it claims marks
// the submission it would prove as pending meanwhile.
struct TPendingReplay {
  int64_t Id = 0;  // given by the store
  std::string Client;
  int64_t Received = 0;
  std::string Name;  // claimed, Windows-1251
  int32_t Score = 0;  // claimed
  std::string Bytes;  // not read back with the list
};

// A result the server computed by re-playing its game.
struct TProvenResult {
  TScoreEntry Entry;  // Name, Score, AddInfo (as kept), Time (now), Client
  // The game's state checksum after its last frame: the same file sent again.
  uint64_t Game = 0;
  // The race's identity as the re-play found it: one race is on the table once.
  uint64_t Race = 0;
  std::string Replay;  // what proves the race, for anyone to download
  // The same game's designed submission is looked for from this time on.
  int64_t MatchSince = 0;
  // The waiting replay this is, let go in the same transaction (0: none).
  int64_t Pending = 0;
  // Replays stored since StoreSince from one address, and under one name, stay within these.
  int64_t StoreSince = 0;
  size_t StoreBytesPerAddress = 0, StoreBytesPerName = 0;
};

struct TProvenStored {
  enum THow {
    New,
    Merged,
    Again,     // this file was proven before
    SameRace,  // another file of a race proven before: that row
    OverShare, // the address or the name has stored its share of replays; nothing stored
  } How = New;
  TScoreEntry Entry;  // as the table has it now
};

class EStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One connection to the database: use it from one thread at a time and open one per
// thread. Failures throw EStoreError; a connection that was lost is made again on the
// next call.
class TScoreStore {
 public:
  virtual ~TScoreStore() = default;
  // All of them or none, in one transaction; on the disk for good (synchronous commit)
  // once this returns, so an acknowledged result survives a power cut.
  virtual void Add(const std::vector<TScoreEntry>& entries) = 0;
  // Highest score first; of equal scores the earlier one ranks higher.
  virtual std::vector<TScoreEntry> Best(const TTableView& view) = 0;
  // In one transaction: a game proven before is left as it is (Again), and so is another
  // file of a race proven before (SameRace); an address or a name beyond its share stores
  // nothing (OverShare); else the latest result from the same address with the same name,
  // score and free text, submitted since MatchSince and not proven yet, becomes proven
  // (Merged); else a row of its own (New). The replay is kept beside the row and the
  // waiting replay let go. Committed for good once this returns.
  virtual TProvenStored AddProven(const TProvenResult& result) = 0;
  // The replay behind a proven row; nothing for another row.
  virtual std::optional<std::string> Replay(int64_t id) = 0;
  // Whether the row is a submission that a waiting replay claims.
  virtual bool AwaitsProof(int64_t id) = 0;

  // Replays waiting for their re-play, on the disk so that none is lost to a restart.
  virtual int64_t AddPending(const TPendingReplay& replay) = 0;
  virtual std::optional<std::string> PendingBytes(int64_t id) = 0;
  // Every one waiting, oldest first, without their bytes.
  virtual std::vector<TPendingReplay> Pending() = 0;
  virtual void DropPending(int64_t id) = 0;
};

// "postgresql://..." or "postgres://..." is a PostgreSQL connection URI; anything else
// names an SQLite file, created when missing.
bool IsPostgresUri(const std::string& where);

// Opens the database and brings its tables to this server's version (once, even when
// several servers start together). Throws EStoreError, with what to do, when it cannot
// be reached, cannot be written, or was made by a newer server.
std::unique_ptr<TScoreStore> OpenStore(const std::string& where);
std::unique_ptr<TScoreStore> OpenSqliteStore(const std::string& path);
std::unique_ptr<TScoreStore> OpenPostgresStore(const std::string& uri);

}  // namespace Scores
