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
};
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
                                "SELECT name, score, add_info, submitted FROM results"
                                " ORDER BY score DESC, id LIMIT $1 OFFSET $2",
                                2, nullptr, values, nullptr, nullptr, 1));
    Check(result, PGRES_TUPLES_OK);
    std::vector<TScoreEntry> entries;
    const int rows = PQntuples(result.Handle);
    entries.reserve(size_t(rows));
    for (int row = 0; row < rows; ++row) {
      const auto text = [&](int column) {
        return std::string(PQgetvalue(result.Handle, row, column), size_t(PQgetlength(result.Handle, row, column)));
      };
      entries.push_back({text(0), Int4(PQgetvalue(result.Handle, row, 1)), text(2),
                         Int8(PQgetvalue(result.Handle, row, 3))});
    }
    return entries;
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

  void InsertRows(const std::vector<TScoreEntry>& entries, size_t first, size_t end) {
    std::string sql = "INSERT INTO results (name, score, add_info, submitted) VALUES ";
    std::vector<std::string> numbers;
    numbers.reserve((end - first) * 2);
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (size_t i = first; i < end; ++i) {
      const size_t n = (i - first) * 4;
      sql += (i == first ? "($" : ", ($") + std::to_string(n + 1) + ", $" + std::to_string(n + 2) + ", $" +
             std::to_string(n + 3) + ", $" + std::to_string(n + 4) + ")";
      numbers.push_back(std::to_string(entries[i].Score));
      numbers.push_back(std::to_string(entries[i].Time));
    }
    for (size_t i = first; i < end; ++i) {
      const std::string& score = numbers[(i - first) * 2];
      const std::string& time = numbers[(i - first) * 2 + 1];
      // The texts go as bytes, the numbers as decimal text.
      values.insert(values.end(), {entries[i].Name.data(), score.c_str(), entries[i].AddInfo.data(), time.c_str()});
      lengths.insert(lengths.end(), {int(entries[i].Name.size()), 0, int(entries[i].AddInfo.size()), 0});
      formats.insert(formats.end(), {1, 0, 1, 0});
    }
    TResult result(PQexecParams(Conn, sql.c_str(), int(values.size()), nullptr, values.data(), lengths.data(),
                                formats.data(), 0));
    Check(result, PGRES_COMMAND_OK);
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
