#include <sqlite3.h>

#include <iterator>

#include "server/ScoreStore.h"

namespace Scores {

namespace {

// Each step brings the tables one version up. A new step goes at the end; a step that has
// shipped is never changed. Version 1 is the table the first server made without a
// version number, so its files are taken over as they are. Texts are kept as the game's
// bytes; they become UTF-8 only on the page.
constexpr const char* Steps[] = {
    "CREATE TABLE IF NOT EXISTS results ("
    " id INTEGER PRIMARY KEY, name BLOB NOT NULL, score INTEGER NOT NULL,"
    " add_info BLOB NOT NULL, submitted INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS results_best ON results (score DESC, id);",
    // Proven results: game is the re-played game's state checksum, NULL for a result
    // only submitted; client is the address the result came from, to find the submission
    // a replay proves.
    "ALTER TABLE results ADD COLUMN client TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE results ADD COLUMN game INTEGER;"
    "CREATE UNIQUE INDEX results_game ON results (game);"
    "CREATE INDEX results_proven_best ON results (score DESC, id) WHERE game IS NOT NULL;"
    "CREATE INDEX results_unproven ON results (client, score) WHERE game IS NULL;"
    "CREATE TABLE replays (result_id INTEGER PRIMARY KEY REFERENCES results (id), bytes BLOB NOT NULL);",
    // One race, one row: race is the re-played race's identity (NULL on rows proven before
    // it was kept). Replays waiting for their re-play are kept here until then.
    "ALTER TABLE results ADD COLUMN race INTEGER;"
    "CREATE UNIQUE INDEX results_race ON results (race);"
    "CREATE INDEX results_proven_client ON results (client, submitted) WHERE game IS NOT NULL;"
    "CREATE INDEX results_proven_name ON results (name, submitted) WHERE game IS NOT NULL;"
    "CREATE TABLE pending (id INTEGER PRIMARY KEY, client TEXT NOT NULL, received INTEGER NOT NULL,"
    " name BLOB NOT NULL, score INTEGER NOT NULL, bytes BLOB NOT NULL);"
    "CREATE INDEX pending_claims ON pending (client, score);",
};
constexpr int SchemaVersion = int(std::size(Steps));
// What a row is read as (see Row).
#define ROW_COLUMNS                                                                                        \
  "id, name, score, add_info, submitted, game, game IS NULL AND EXISTS (SELECT 1 FROM pending p"             \
  " WHERE p.client = results.client AND p.score = results.score AND p.name = results.name)"

class TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) : Db(db) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &Handle, nullptr) != SQLITE_OK)
      throw EStoreError(std::string("Score database: ") + sqlite3_errmsg(db));
  }
  ~TStatement() { sqlite3_finalize(Handle); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  sqlite3_stmt* operator*() const { return Handle; }
  void Check(int rc) const {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
      throw EStoreError(std::string("Score database: ") + sqlite3_errmsg(Db));
  }
  // Ready for the next use, whatever the last one did.
  void Reset() const {
    sqlite3_reset(Handle);
    sqlite3_clear_bindings(Handle);
  }

 private:
  sqlite3* Db;
  sqlite3_stmt* Handle = nullptr;
};

std::string Blob(sqlite3_stmt* row, int column) {
  const void* data = sqlite3_column_blob(row, column);
  return data ? std::string(static_cast<const char*>(data), size_t(sqlite3_column_bytes(row, column))) : std::string();
}

struct TConnection {
  sqlite3* Db = nullptr;
  explicit TConnection(const std::string& path) {
    const int rc = sqlite3_open_v2(path.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = Db ? sqlite3_errmsg(Db) : sqlite3_errstr(rc);
      sqlite3_close(Db);
      throw EStoreError("Score database '" + path + "' cannot be opened: " + message);
    }
  }
  ~TConnection() { sqlite3_close(Db); }
};

class TSqliteStore : public TScoreStore {
 public:
  explicit TSqliteStore(const std::string& path) : Connection(path), Db(Connection.Db) {
    if (sqlite3_db_readonly(Db, "main") == 1)
      throw EStoreError("Score database '" + path + "' cannot be written: check its permissions");
    // Two servers on one file take turns instead of failing at once.
    sqlite3_busy_timeout(Db, 5000);
    // Every commit is on the disk in the log already; folding the log into the file as the
    // last connection closes would make a stop wait for the disk. The next start does it.
    sqlite3_db_config(Db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // The write-ahead log lets pages be read while results are written; a full sync
    // puts each commit on the disk before the result is acknowledged.
    Execute("PRAGMA journal_mode=WAL", path);
    Execute("PRAGMA synchronous=FULL", path);
    Upgrade(path);
    Insert = std::make_unique<TStatement>(
        Db, "INSERT INTO results (name, score, add_info, submitted, client) VALUES (?, ?, ?, ?, ?)");
    Select = std::make_unique<TStatement>(Db, "SELECT " ROW_COLUMNS " FROM results ORDER BY score DESC, id LIMIT ? OFFSET ?");
    SelectProven = std::make_unique<TStatement>(
        Db, "SELECT " ROW_COLUMNS " FROM results WHERE game IS NOT NULL ORDER BY score DESC, id LIMIT ? OFFSET ?");
  }

  ~TSqliteStore() override {
    // The statements go before the connection closes.
    Insert.reset();
    Select.reset();
    SelectProven.reset();
  }

  void Add(const std::vector<TScoreEntry>& entries) override {
    Execute("BEGIN IMMEDIATE");
    try {
      for (const auto& entry : entries) {
        Insert->Reset();
        BindEntry(**Insert, entry);
        Insert->Check(sqlite3_step(**Insert));
      }
      Insert->Reset();
      Execute("COMMIT");
    } catch (...) {
      Insert->Reset();
      sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::vector<TScoreEntry> Best(const TTableView& view) override {
    const TStatement& select = view.ProvenOnly ? *SelectProven : *Select;
    select.Reset();
    sqlite3_bind_int64(*select, 1, sqlite3_int64(view.Count));
    sqlite3_bind_int64(*select, 2, sqlite3_int64(view.First));
    std::vector<TScoreEntry> entries;
    int rc;
    while ((rc = sqlite3_step(*select)) == SQLITE_ROW) entries.push_back(Row(*select));
    select.Reset();
    select.Check(rc);
    return entries;
  }

  TProvenStored AddProven(const TProvenResult& result) override {
    const TScoreEntry& e = result.Entry;
    const sqlite3_int64 game = sqlite3_int64(result.Game);
    Execute("BEGIN IMMEDIATE");
    try {
      TProvenStored stored;
      // Seen before: the row as it is, the waiting replay let go.
      const auto seen = [&](TProvenStored::THow how, const char* sql, sqlite3_int64 key) {
        TStatement row(Db, sql);
        sqlite3_bind_int64(*row, 1, key);
        const int rc = sqlite3_step(*row);
        row.Check(rc);
        if (rc != SQLITE_ROW) return false;
        stored = {how, Row(*row)};
        row.Reset();
        DropPendingRow(result.Pending);
        Execute("COMMIT");
        return true;
      };
      if (seen(TProvenStored::Again, "SELECT " ROW_COLUMNS " FROM results WHERE game = ?", game)) return stored;
      if (seen(TProvenStored::SameRace, "SELECT " ROW_COLUMNS " FROM results WHERE race = ?",
               sqlite3_int64(result.Race)))
        return stored;
      if (Stored("s.client = ?", e.Client, true, result.StoreSince) + result.Replay.size() > result.StoreBytesPerAddress ||
          Stored("s.name = ?", e.Name, false, result.StoreSince) + result.Replay.size() > result.StoreBytesPerName) {
        stored = {TProvenStored::OverShare, e};
        DropPendingRow(result.Pending);
        Execute("COMMIT");
        return stored;
      }
      TStatement match(Db,
                       "SELECT " ROW_COLUMNS " FROM results WHERE game IS NULL AND client = ? AND score = ? AND name = ?"
                       " AND add_info = ? AND submitted >= ? ORDER BY id DESC LIMIT 1");
      sqlite3_bind_text(*match, 1, e.Client.data(), int(e.Client.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int(*match, 2, e.Score);
      sqlite3_bind_blob(*match, 3, e.Name.data(), int(e.Name.size()), SQLITE_TRANSIENT);
      sqlite3_bind_blob(*match, 4, e.AddInfo.data(), int(e.AddInfo.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int64(*match, 5, result.MatchSince);
      int rc = sqlite3_step(*match);
      match.Check(rc);
      if (rc == SQLITE_ROW) {
        stored = {TProvenStored::Merged, Row(*match)};
        match.Reset();
        TStatement mark(Db, "UPDATE results SET game = ?, race = ? WHERE id = ?");
        sqlite3_bind_int64(*mark, 1, game);
        sqlite3_bind_int64(*mark, 2, sqlite3_int64(result.Race));
        sqlite3_bind_int64(*mark, 3, stored.Entry.Id);
        mark.Check(sqlite3_step(*mark));
      } else {
        TStatement insert(Db,
                          "INSERT INTO results (name, score, add_info, submitted, client, game, race)"
                          " VALUES (?, ?, ?, ?, ?, ?, ?)");
        BindEntry(*insert, e);
        sqlite3_bind_int64(*insert, 6, game);
        sqlite3_bind_int64(*insert, 7, sqlite3_int64(result.Race));
        insert.Check(sqlite3_step(*insert));
        stored = {TProvenStored::New, e};
        stored.Entry.Id = sqlite3_last_insert_rowid(Db);
      }
      stored.Entry.Proven = true;
      TStatement keep(Db, "INSERT INTO replays (result_id, bytes) VALUES (?, ?)");
      sqlite3_bind_int64(*keep, 1, stored.Entry.Id);
      sqlite3_bind_blob(*keep, 2, result.Replay.data(), int(result.Replay.size()), SQLITE_TRANSIENT);
      keep.Check(sqlite3_step(*keep));
      DropPendingRow(result.Pending);
      Execute("COMMIT");
      return stored;
    } catch (...) {
      sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::optional<std::string> Replay(int64_t id) override {
    return OneBlob("SELECT bytes FROM replays WHERE result_id = ?", id);
  }

  bool AwaitsProof(int64_t id) override {
    TStatement select(Db, "SELECT " ROW_COLUMNS " FROM results WHERE id = ?");
    sqlite3_bind_int64(*select, 1, id);
    const int rc = sqlite3_step(*select);
    select.Check(rc);
    const bool pending = rc == SQLITE_ROW && Row(*select).Pending;
    select.Reset();
    return pending;
  }

  int64_t AddPending(const TPendingReplay& r) override {
    TStatement insert(Db, "INSERT INTO pending (client, received, name, score, bytes) VALUES (?, ?, ?, ?, ?)");
    sqlite3_bind_text(*insert, 1, r.Client.data(), int(r.Client.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(*insert, 2, r.Received);
    sqlite3_bind_blob(*insert, 3, r.Name.data(), int(r.Name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(*insert, 4, r.Score);
    sqlite3_bind_blob(*insert, 5, r.Bytes.data(), int(r.Bytes.size()), SQLITE_STATIC);
    insert.Check(sqlite3_step(*insert));
    return sqlite3_last_insert_rowid(Db);
  }

  std::optional<std::string> PendingBytes(int64_t id) override {
    return OneBlob("SELECT bytes FROM pending WHERE id = ?", id);
  }

  std::vector<TPendingReplay> Pending() override {
    TStatement select(Db, "SELECT id, client, received, name, score FROM pending ORDER BY id");
    std::vector<TPendingReplay> all;
    int rc;
    while ((rc = sqlite3_step(*select)) == SQLITE_ROW) {
      TPendingReplay r;
      r.Id = sqlite3_column_int64(*select, 0);
      r.Client = Blob(*select, 1);
      r.Received = sqlite3_column_int64(*select, 2);
      r.Name = Blob(*select, 3);
      r.Score = sqlite3_column_int(*select, 4);
      all.push_back(std::move(r));
    }
    select.Check(rc);
    return all;
  }

  void DropPending(int64_t id) override { DropPendingRow(id); }

 private:
  // Writing the version number, even an unchanged one, also proves at start that the
  // file and its folder take writes.
  void Upgrade(const std::string& path) {
    Execute("BEGIN IMMEDIATE", path);
    try {
      int version = 0;
      sqlite3_exec(
          Db, "PRAGMA user_version",
          [](void* target, int, char** values, char**) {
            *static_cast<int*>(target) = values[0] ? std::atoi(values[0]) : 0;
            return 0;
          },
          &version, nullptr);
      if (version > SchemaVersion)
        throw EStoreError("Score database '" + path + "' was made by a newer server (tables version " +
                          std::to_string(version) + ", this server knows " + std::to_string(SchemaVersion) + ")");
      for (int step = version; step < SchemaVersion; ++step) Execute(Steps[step], path);
      Execute(("PRAGMA user_version=" + std::to_string(SchemaVersion)).c_str(), path);
      Execute("COMMIT", path);
    } catch (...) {
      sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  std::optional<std::string> OneBlob(const char* sql, int64_t id) {
    TStatement select(Db, sql);
    sqlite3_bind_int64(*select, 1, id);
    const int rc = sqlite3_step(*select);
    select.Check(rc);
    if (rc != SQLITE_ROW) return std::nullopt;
    std::string bytes = Blob(*select, 0);
    select.Reset();
    return bytes;
  }

  void DropPendingRow(int64_t id) {
    if (id == 0) return;
    TStatement drop(Db, "DELETE FROM pending WHERE id = ?");
    sqlite3_bind_int64(*drop, 1, id);
    drop.Check(sqlite3_step(*drop));
  }

  // The bytes of the replays stored since a time on the rows where column = value (a text
  // or the game's bytes).
  size_t Stored(const char* where, const std::string& value, bool text, int64_t since) {
    TStatement sum(Db, (std::string("SELECT COALESCE(SUM(length(r.bytes)), 0) FROM replays r JOIN results s"
                                    " ON s.id = r.result_id WHERE s.game IS NOT NULL AND ") +
                        where + " AND s.submitted >= ?")
                           .c_str());
    if (text)
      sqlite3_bind_text(*sum, 1, value.data(), int(value.size()), SQLITE_TRANSIENT);
    else
      sqlite3_bind_blob(*sum, 1, value.data(), int(value.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(*sum, 2, since);
    const int rc = sqlite3_step(*sum);
    sum.Check(rc);
    const size_t bytes = rc == SQLITE_ROW ? size_t(sqlite3_column_int64(*sum, 0)) : 0;
    sum.Reset();
    return bytes;
  }

  void Execute(const char* sql, const std::string& path = {}) {
    char* error = nullptr;
    if (sqlite3_exec(Db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : sqlite3_errmsg(Db);
      sqlite3_free(error);
      throw EStoreError("Score database" + (path.empty() ? std::string() : " '" + path + "'") + ": " + message);
    }
  }

  // The first five parameters of an insert: name, score, add_info, submitted, client.
  static void BindEntry(sqlite3_stmt* insert, const TScoreEntry& e) {
    sqlite3_bind_blob(insert, 1, e.Name.data(), int(e.Name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, e.Score);
    sqlite3_bind_blob(insert, 3, e.AddInfo.data(), int(e.AddInfo.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 4, e.Time);
    sqlite3_bind_text(insert, 5, e.Client.data(), int(e.Client.size()), SQLITE_TRANSIENT);
  }

  static TScoreEntry Row(sqlite3_stmt* row) {
    TScoreEntry entry{Blob(row, 1), sqlite3_column_int(row, 2), Blob(row, 3), sqlite3_column_int64(row, 4)};
    entry.Id = sqlite3_column_int64(row, 0);
    entry.Proven = sqlite3_column_type(row, 5) != SQLITE_NULL;
    entry.Pending = sqlite3_column_int(row, 6) != 0;
    return entry;
  }

  TConnection Connection;
  sqlite3* Db;
  std::unique_ptr<TStatement> Insert, Select, SelectProven;
};

}  // namespace

std::unique_ptr<TScoreStore> OpenSqliteStore(const std::string& path) { return std::make_unique<TSqliteStore>(path); }

}  // namespace Scores
