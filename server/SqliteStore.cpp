#include <sqlite3.h>

#include <mutex>

#include "server/ScoreStore.h"

namespace Scores {

namespace {

class TStatement {
 public:
  TStatement(sqlite3* db, const char* sql) : Db(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &Handle, nullptr) != SQLITE_OK)
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

 private:
  sqlite3* Db;
  sqlite3_stmt* Handle = nullptr;
};

std::string Blob(sqlite3_stmt* row, int column) {
  const void* data = sqlite3_column_blob(row, column);
  return data ? std::string(static_cast<const char*>(data), size_t(sqlite3_column_bytes(row, column))) : std::string();
}

class TSqliteStore : public TScoreStore {
 public:
  explicit TSqliteStore(const std::string& path) {
    const int rc = sqlite3_open_v2(path.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = Db ? sqlite3_errmsg(Db) : sqlite3_errstr(rc);
      sqlite3_close(Db);
      throw EStoreError("Score database '" + path + "' cannot be opened: " + message);
    }
    try {
      sqlite3_busy_timeout(Db, 5000);
      // The write-ahead log keeps every finished result across a crash of the process.
      Execute("PRAGMA journal_mode=WAL");
      Execute("PRAGMA synchronous=NORMAL");
      // Texts are kept as the game's bytes; they become UTF-8 only on the page.
      Execute(
          "CREATE TABLE IF NOT EXISTS results ("
          " id INTEGER PRIMARY KEY, name BLOB NOT NULL, score INTEGER NOT NULL,"
          " add_info BLOB NOT NULL, submitted INTEGER NOT NULL)");
      Execute("CREATE INDEX IF NOT EXISTS results_best ON results (score DESC, id)");
    } catch (...) {
      sqlite3_close(Db);
      throw;
    }
  }

  ~TSqliteStore() override { sqlite3_close(Db); }

  void Add(const TScoreEntry& entry) override {
    std::lock_guard<std::mutex> hold(Lock);
    TStatement insert(Db, "INSERT INTO results (name, score, add_info, submitted) VALUES (?, ?, ?, ?)");
    sqlite3_bind_blob(*insert, 1, entry.Name.data(), int(entry.Name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(*insert, 2, entry.Score);
    sqlite3_bind_blob(*insert, 3, entry.AddInfo.data(), int(entry.AddInfo.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(*insert, 4, entry.Time);
    insert.Check(sqlite3_step(*insert));
  }

  std::vector<TScoreEntry> Best(size_t count) override {
    std::lock_guard<std::mutex> hold(Lock);
    TStatement select(Db,
                      "SELECT name, score, add_info, submitted FROM results ORDER BY score DESC, id LIMIT ?");
    sqlite3_bind_int64(*select, 1, sqlite3_int64(count));
    std::vector<TScoreEntry> entries;
    int rc;
    while ((rc = sqlite3_step(*select)) == SQLITE_ROW)
      entries.push_back({Blob(*select, 0), sqlite3_column_int(*select, 1), Blob(*select, 2),
                         sqlite3_column_int64(*select, 3)});
    select.Check(rc);
    return entries;
  }

 private:
  void Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(Db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : "unknown error";
      sqlite3_free(error);
      throw EStoreError("Score database: " + message);
    }
  }

  sqlite3* Db = nullptr;
  std::mutex Lock;
};

}  // namespace

std::unique_ptr<TScoreStore> OpenSqliteStore(const std::string& path) { return std::make_unique<TSqliteStore>(path); }

}  // namespace Scores
