#include <endian.h>
#include <libpq-fe.h>

#include <cstring>
#include <iterator>
#include <memory>

#include "server/ScoreStore.h"

namespace Scores {

namespace {

// Each step brings the tables one version up. A new step goes at the end; a step that has
// shipped is never changed. Texts are kept as the game's bytes.
constexpr const char* Steps[] = {
    "CREATE TABLE IF NOT EXISTS results ("
    " id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name BYTEA NOT NULL, score INTEGER NOT NULL,"
    " add_info BYTEA NOT NULL, submitted BIGINT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS results_best ON results (score DESC, id);",
    // Proven results: game is the re-played game's state checksum, NULL for a result
    // only submitted; client is the address the result came from, to find the submission
    // a replay proves.
    "ALTER TABLE results ADD COLUMN client TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE results ADD COLUMN game BIGINT;"
    "CREATE UNIQUE INDEX results_game ON results (game);"
    "CREATE INDEX results_proven_best ON results (score DESC, id) WHERE game IS NOT NULL;"
    "CREATE INDEX results_unproven ON results (client, score) WHERE game IS NULL;"
    "CREATE TABLE replays (result_id BIGINT PRIMARY KEY REFERENCES results (id), bytes BYTEA NOT NULL);",
    // One race, one row: race is the re-played race's identity (NULL on rows proven before
    // it was kept). Replays waiting for their re-play are kept here until then.
    "ALTER TABLE results ADD COLUMN race BIGINT;"
    "CREATE UNIQUE INDEX results_race ON results (race);"
    "CREATE INDEX results_proven_client ON results (client, submitted) WHERE game IS NOT NULL;"
    "CREATE INDEX results_proven_name ON results (name, submitted) WHERE game IS NOT NULL;"
    "CREATE TABLE pending (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY, client TEXT NOT NULL,"
    " received BIGINT NOT NULL, name BYTEA NOT NULL, score INTEGER NOT NULL, bytes BYTEA NOT NULL);"
    "CREATE INDEX pending_claims ON pending (client, score);",
};
// What a row is read as (see Rows).
#define ROW_COLUMNS                                                                                 \
  "id, name, score, add_info, submitted, game IS NOT NULL, game IS NULL AND EXISTS (SELECT 1 FROM pending p" \
  " WHERE p.client = results.client AND p.score = results.score AND p.name = results.name)"
constexpr int SchemaVersion = int(std::size(Steps));
// Servers that start together take turns at the upgrade under this lock; the number is
// ours alone.
constexpr const char* UpgradeLock = "SELECT pg_advisory_xact_lock(7215730452)";
// One statement carries at most this many results; a larger batch is several in one
// transaction.
constexpr size_t RowsPerInsert = 1000;

std::string Trimmed(const char* message) {
  std::string text = message ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

struct TResult {
  PGresult* Handle = nullptr;
  explicit TResult(PGresult* handle) : Handle(handle) {}
  ~TResult() { PQclear(Handle); }
  TResult(const TResult&) = delete;
  TResult& operator=(const TResult&) = delete;
};

int32_t Int4(const char* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return int32_t(be32toh(value));
}

int64_t Int8(const char* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, 8);
  return int64_t(be64toh(value));
}

class TPostgresStore : public TScoreStore {
 public:
  explicit TPostgresStore(const std::string& uri) : Uri(uri) {
    Connect();
    Upgrade();
  }

  void Add(const std::vector<TScoreEntry>& entries) override {
    if (entries.empty()) return;
    Reconnect();
    const bool several = entries.size() > RowsPerInsert;
    if (several) Exec("BEGIN");
    try {
      for (size_t first = 0; first < entries.size(); first += RowsPerInsert)
        InsertRows(entries, first, std::min(entries.size(), first + RowsPerInsert));
      if (several) Exec("COMMIT");
    } catch (...) {
      if (several && PQstatus(Conn) == CONNECTION_OK) PQclear(PQexec(Conn, "ROLLBACK"));
      throw;
    }
  }

  std::vector<TScoreEntry> Best(const TTableView& view) override {
    Reconnect();
    const std::string count = std::to_string(view.Count), first = std::to_string(view.First);
    const char* values[] = {count.c_str(), first.c_str()};
    TResult result(PQexecParams(Conn,
                                view.ProvenOnly ? "SELECT " ROW_COLUMNS " FROM results WHERE game IS NOT NULL"
                                                  " ORDER BY score DESC, id LIMIT $1 OFFSET $2"
                                                : "SELECT " ROW_COLUMNS " FROM results"
                                                  " ORDER BY score DESC, id LIMIT $1 OFFSET $2",
                                2, nullptr, values, nullptr, nullptr, 1));
    Check(result, PGRES_TUPLES_OK);
    return Rows(result);
  }

  TProvenStored AddProven(const TProvenResult& result) override {
    const TScoreEntry& e = result.Entry;
    Reconnect();
    Exec("BEGIN");
    try {
      TProvenStored stored;
      const std::string game = std::to_string(int64_t(result.Game)), race = std::to_string(int64_t(result.Race)),
                        score = std::to_string(e.Score), time = std::to_string(e.Time),
                        since = std::to_string(result.MatchSince);
      // Seen before: the row as it is, the waiting replay let go.
      const auto seen = [&](TProvenStored::THow how, const char* sql, const std::string& key) {
        const char* values[] = {key.c_str()};
        TResult row(PQexecParams(Conn, sql, 1, nullptr, values, nullptr, nullptr, 1));
        Check(row, PGRES_TUPLES_OK);
        if (PQntuples(row.Handle) == 0) return false;
        stored = {how, Rows(row).front()};
        DropPendingRow(result.Pending);
        Exec("COMMIT");
        return true;
      };
      if (seen(TProvenStored::Again, "SELECT " ROW_COLUMNS " FROM results WHERE game = $1", game)) return stored;
      if (seen(TProvenStored::SameRace, "SELECT " ROW_COLUMNS " FROM results WHERE race = $1", race)) return stored;
      if (Stored("s.client = $1", e.Client, false, result.StoreSince) + result.Replay.size() >
              result.StoreBytesPerAddress ||
          Stored("s.name = $1", e.Name, true, result.StoreSince) + result.Replay.size() > result.StoreBytesPerName) {
        stored = {TProvenStored::OverShare, e};
        DropPendingRow(result.Pending);
        Exec("COMMIT");
        return stored;
      }
      {
        // Texts as bytes, numbers as decimal text.
        const char* values[] = {e.Client.c_str(), score.c_str(), e.Name.data(), e.AddInfo.data(), since.c_str()};
        const int lengths[] = {0, 0, int(e.Name.size()), int(e.AddInfo.size()), 0};
        const int formats[] = {0, 0, 1, 1, 0};
        TResult match(PQexecParams(Conn,
                                   "SELECT " ROW_COLUMNS " FROM results WHERE game IS NULL AND client = $1"
                                   " AND score = $2 AND name = $3 AND add_info = $4 AND submitted >= $5"
                                   " ORDER BY id DESC LIMIT 1 FOR UPDATE",
                                   5, nullptr, values, lengths, formats, 1));
        Check(match, PGRES_TUPLES_OK);
        if (PQntuples(match.Handle) > 0) stored = {TProvenStored::Merged, Rows(match).front()};
      }
      if (stored.How == TProvenStored::Merged) {
        const std::string id = std::to_string(stored.Entry.Id);
        const char* values[] = {game.c_str(), race.c_str(), id.c_str()};
        TResult mark(PQexecParams(Conn, "UPDATE results SET game = $1, race = $2 WHERE id = $3", 3, nullptr, values,
                                  nullptr, nullptr, 0));
        Check(mark, PGRES_COMMAND_OK);
      } else {
        const char* values[] = {e.Name.data(), score.c_str(), e.AddInfo.data(), time.c_str(), e.Client.c_str(),
                                game.c_str(), race.c_str()};
        const int lengths[] = {int(e.Name.size()), 0, int(e.AddInfo.size()), 0, 0, 0, 0};
        const int formats[] = {1, 0, 1, 0, 0, 0, 0};
        TResult insert(PQexecParams(Conn,
                                    "INSERT INTO results (name, score, add_info, submitted, client, game, race)"
                                    " VALUES ($1, $2, $3, $4, $5, $6, $7) RETURNING id",
                                    7, nullptr, values, lengths, formats, 1));
        Check(insert, PGRES_TUPLES_OK);
        stored = {TProvenStored::New, e};
        stored.Entry.Id = Int8(PQgetvalue(insert.Handle, 0, 0));
      }
      stored.Entry.Proven = true;
      const std::string id = std::to_string(stored.Entry.Id);
      const char* values[] = {id.c_str(), result.Replay.data()};
      const int lengths[] = {0, int(result.Replay.size())};
      const int formats[] = {0, 1};
      TResult keep(PQexecParams(Conn, "INSERT INTO replays (result_id, bytes) VALUES ($1, $2)", 2, nullptr, values,
                                lengths, formats, 0));
      Check(keep, PGRES_COMMAND_OK);
      DropPendingRow(result.Pending);
      Exec("COMMIT");
      return stored;
    } catch (...) {
      if (PQstatus(Conn) == CONNECTION_OK) PQclear(PQexec(Conn, "ROLLBACK"));
      throw;
    }
  }

  std::optional<std::string> Replay(int64_t id) override {
    return OneBlob("SELECT bytes FROM replays WHERE result_id = $1", id);
  }

  bool AwaitsProof(int64_t id) override {
    Reconnect();
    const std::string number = std::to_string(id);
    const char* values[] = {number.c_str()};
    TResult result(PQexecParams(Conn, "SELECT " ROW_COLUMNS " FROM results WHERE id = $1", 1, nullptr, values,
                                nullptr, nullptr, 1));
    Check(result, PGRES_TUPLES_OK);
    return PQntuples(result.Handle) > 0 && Rows(result).front().Pending;
  }

  int64_t AddPending(const TPendingReplay& r) override {
    Reconnect();
    const std::string received = std::to_string(r.Received), score = std::to_string(r.Score);
    const char* values[] = {r.Client.c_str(), received.c_str(), r.Name.data(), score.c_str(), r.Bytes.data()};
    const int lengths[] = {0, 0, int(r.Name.size()), 0, int(r.Bytes.size())};
    const int formats[] = {0, 0, 1, 0, 1};
    TResult insert(PQexecParams(Conn,
                                "INSERT INTO pending (client, received, name, score, bytes) VALUES ($1, $2, $3, $4, $5)"
                                " RETURNING id",
                                5, nullptr, values, lengths, formats, 1));
    Check(insert, PGRES_TUPLES_OK);
    return Int8(PQgetvalue(insert.Handle, 0, 0));
  }

  std::optional<std::string> PendingBytes(int64_t id) override {
    return OneBlob("SELECT bytes FROM pending WHERE id = $1", id);
  }

  std::vector<TPendingReplay> Pending() override {
    Reconnect();
    TResult result(PQexecParams(Conn, "SELECT id, client, received, name, score FROM pending ORDER BY id", 0, nullptr,
                                nullptr, nullptr, nullptr, 1));
    Check(result, PGRES_TUPLES_OK);
    std::vector<TPendingReplay> all;
    for (int row = 0; row < PQntuples(result.Handle); ++row) {
      const auto text = [&](int column) {
        return std::string(PQgetvalue(result.Handle, row, column), size_t(PQgetlength(result.Handle, row, column)));
      };
      TPendingReplay r;
      r.Id = Int8(PQgetvalue(result.Handle, row, 0));
      r.Client = text(1);
      r.Received = Int8(PQgetvalue(result.Handle, row, 2));
      r.Name = text(3);
      r.Score = Int4(PQgetvalue(result.Handle, row, 4));
      all.push_back(std::move(r));
    }
    return all;
  }

  void DropPending(int64_t id) override {
    Reconnect();
    DropPendingRow(id);
  }

 private:
  void Connect() {
    // The URI comes last so that what it says wins over our defaults.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"5", "sprayrush-scores", Uri.c_str(), nullptr};
    Handle.reset(PQconnectdbParams(keys, values, 1));
    Conn = Handle.get();
    if (PQstatus(Conn) != CONNECTION_OK)
      throw EStoreError("Score database cannot be reached: " + Trimmed(PQerrorMessage(Conn)));
    Session();
  }

  // What every session needs: a commit is acknowledged only once it is on the disk,
  // nothing waits for ever, and notices ("already exists, skipping") stay in the server's log.
  void Session() {
    Exec("SET synchronous_commit = on");
    Exec("SET statement_timeout = '10s'");
    Exec("SET client_min_messages = warning");
  }

  void Reconnect() {
    if (PQstatus(Conn) == CONNECTION_OK) return;
    PQreset(Conn);
    if (PQstatus(Conn) != CONNECTION_OK)
      throw EStoreError("Score database cannot be reached: " + Trimmed(PQerrorMessage(Conn)));
    Session();
  }

  void Upgrade() {
    Exec("BEGIN");
    try {
      Exec(UpgradeLock);
      Exec("CREATE TABLE IF NOT EXISTS sprayrush_schema (version INTEGER NOT NULL)");
      int version = 0;
      {
        TResult result(PQexec(Conn, "SELECT version FROM sprayrush_schema"));
        Check(result, PGRES_TUPLES_OK);
        if (PQntuples(result.Handle) == 0)
          Exec("INSERT INTO sprayrush_schema VALUES (0)");
        else
          version = std::atoi(PQgetvalue(result.Handle, 0, 0));
      }
      if (version > SchemaVersion)
        throw EStoreError("Score database was made by a newer server (tables version " + std::to_string(version) +
                          ", this server knows " + std::to_string(SchemaVersion) + ")");
      for (int step = version; step < SchemaVersion; ++step) Exec(Steps[step]);
      // Written even when unchanged: it proves at start that the database takes writes.
      Exec(("UPDATE sprayrush_schema SET version = " + std::to_string(SchemaVersion)).c_str());
      {
        TResult result(PQexec(Conn, "SELECT has_table_privilege('results', 'INSERT')"));
        Check(result, PGRES_TUPLES_OK);
        if (std::strcmp(PQgetvalue(result.Handle, 0, 0), "t") != 0)
          throw EStoreError("Score database cannot be written: this user may not add to the results table");
      }
      Exec("COMMIT");
    } catch (...) {
      PQclear(PQexec(Conn, "ROLLBACK"));
      throw;
    }
  }

  // Rows of ROW_COLUMNS in binary form.
  static std::vector<TScoreEntry> Rows(const TResult& result) {
    std::vector<TScoreEntry> entries;
    const int rows = PQntuples(result.Handle);
    entries.reserve(size_t(rows));
    for (int row = 0; row < rows; ++row) {
      const auto text = [&](int column) {
        return std::string(PQgetvalue(result.Handle, row, column), size_t(PQgetlength(result.Handle, row, column)));
      };
      TScoreEntry entry{text(1), Int4(PQgetvalue(result.Handle, row, 2)), text(3),
                        Int8(PQgetvalue(result.Handle, row, 4))};
      entry.Id = Int8(PQgetvalue(result.Handle, row, 0));
      entry.Proven = PQgetvalue(result.Handle, row, 5)[0] != 0;
      entry.Pending = PQgetvalue(result.Handle, row, 6)[0] != 0;
      entries.push_back(std::move(entry));
    }
    return entries;
  }

  void InsertRows(const std::vector<TScoreEntry>& entries, size_t first, size_t end) {
    std::string sql = "INSERT INTO results (name, score, add_info, submitted, client) VALUES ";
    std::vector<std::string> numbers;
    numbers.reserve((end - first) * 2);
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (size_t i = first; i < end; ++i) {
      const size_t n = (i - first) * 5;
      sql += (i == first ? "($" : ", ($") + std::to_string(n + 1) + ", $" + std::to_string(n + 2) + ", $" +
             std::to_string(n + 3) + ", $" + std::to_string(n + 4) + ", $" + std::to_string(n + 5) + ")";
      numbers.push_back(std::to_string(entries[i].Score));
      numbers.push_back(std::to_string(entries[i].Time));
    }
    for (size_t i = first; i < end; ++i) {
      const std::string& score = numbers[(i - first) * 2];
      const std::string& time = numbers[(i - first) * 2 + 1];
      // The texts go as bytes, the numbers as decimal text.
      values.insert(values.end(), {entries[i].Name.data(), score.c_str(), entries[i].AddInfo.data(), time.c_str(),
                                   entries[i].Client.c_str()});
      lengths.insert(lengths.end(), {int(entries[i].Name.size()), 0, int(entries[i].AddInfo.size()), 0, 0});
      formats.insert(formats.end(), {1, 0, 1, 0, 0});
    }
    TResult result(PQexecParams(Conn, sql.c_str(), int(values.size()), nullptr, values.data(), lengths.data(),
                                formats.data(), 0));
    Check(result, PGRES_COMMAND_OK);
  }

  std::optional<std::string> OneBlob(const char* sql, int64_t id) {
    Reconnect();
    const std::string number = std::to_string(id);
    const char* values[] = {number.c_str()};
    TResult result(PQexecParams(Conn, sql, 1, nullptr, values, nullptr, nullptr, 1));
    Check(result, PGRES_TUPLES_OK);
    if (PQntuples(result.Handle) == 0) return std::nullopt;
    return std::string(PQgetvalue(result.Handle, 0, 0), size_t(PQgetlength(result.Handle, 0, 0)));
  }

  void DropPendingRow(int64_t id) {
    if (id == 0) return;
    const std::string number = std::to_string(id);
    const char* values[] = {number.c_str()};
    TResult drop(PQexecParams(Conn, "DELETE FROM pending WHERE id = $1", 1, nullptr, values, nullptr, nullptr, 0));
    Check(drop, PGRES_COMMAND_OK);
  }

  // The bytes of the replays stored since a time on the rows where column = $1 (text, or
  // the game's bytes).
  size_t Stored(const char* where, const std::string& value, bool bytes, int64_t since) {
    const std::string from = std::to_string(since);
    const char* values[] = {value.data(), from.c_str()};
    const int lengths[] = {int(value.size()), 0};
    const int formats[] = {bytes ? 1 : 0, 0};
    TResult sum(PQexecParams(Conn,
                             (std::string("SELECT COALESCE(SUM(octet_length(r.bytes)), 0)::BIGINT FROM replays r"
                                          " JOIN results s ON s.id = r.result_id WHERE s.game IS NOT NULL AND ") +
                              where + " AND s.submitted >= $2")
                                 .c_str(),
                             2, nullptr, values, lengths, formats, 1));
    Check(sum, PGRES_TUPLES_OK);
    return size_t(Int8(PQgetvalue(sum.Handle, 0, 0)));
  }

  void Exec(const char* sql) {
    TResult result(PQexec(Conn, sql));
    Check(result, PGRES_COMMAND_OK);
  }

  void Check(const TResult& result, ExecStatusType expected) {
    if (PQresultStatus(result.Handle) == expected || (expected == PGRES_COMMAND_OK &&
                                                      PQresultStatus(result.Handle) == PGRES_TUPLES_OK))
      return;
    const char* state = PQresultErrorField(result.Handle, PG_DIAG_SQLSTATE);
    std::string message = Trimmed(result.Handle ? PQresultErrorMessage(result.Handle) : PQerrorMessage(Conn));
    // 25006: a read-only transaction (a standby, or read-only by default); 42501: no right.
    if (state && (std::strcmp(state, "25006") == 0 || std::strcmp(state, "42501") == 0))
      message = "cannot be written: " + message;
    throw EStoreError("Score database: " + message);
  }

  std::string Uri;
  std::unique_ptr<PGconn, decltype(&PQfinish)> Handle{nullptr, PQfinish};
  PGconn* Conn = nullptr;
};

}  // namespace

std::unique_ptr<TScoreStore> OpenPostgresStore(const std::string& uri) { return std::make_unique<TPostgresStore>(uri); }

}  // namespace Scores
