#pragma once
// Where results are kept. Everything else talks to this interface only: an SQLite file for
// one machine, PostgreSQL when several servers share one table.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Scores {

struct TScoreEntry {
  std::string Name;  // Windows-1251 bytes, as sent
  int32_t Score = 0;
  std::string AddInfo;  // Windows-1251 bytes, as kept
  int64_t Time = 0;     // seconds since 1970, UTC
};

// Which part of the table to read: places First + 1 to First + Count.
struct TTableView {
  size_t First = 0;
  size_t Count = 100;
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
