#pragma once
// Where results are kept. Everything else talks to this interface only, so another
// database can take the place of the file when one machine is no longer enough.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Scores {

struct TScoreEntry {
  std::string Name;  // Windows-1251 bytes, as sent
  int32_t Score = 0;
  std::string AddInfo;  // Windows-1251 bytes, as sent
  int64_t Time = 0;     // seconds since 1970, UTC
};

class EStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Safe to use from many threads at once; failures throw EStoreError.
class TScoreStore {
 public:
  virtual ~TScoreStore() = default;
  // Kept for good once this returns.
  virtual void Add(const TScoreEntry& entry) = 0;
  // Highest score first; of equal scores the earlier one ranks higher.
  virtual std::vector<TScoreEntry> Best(size_t count) = 0;
};

// A SQLite database file, created when missing.
std::unique_ptr<TScoreStore> OpenSqliteStore(const std::string& path);

}  // namespace Scores
