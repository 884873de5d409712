#include "server/ScoreStore.h"

namespace Scores {

bool IsPostgresUri(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<TScoreStore> OpenStore(const std::string& where) {
  return IsPostgresUri(where) ? OpenPostgresStore(where) : OpenSqliteStore(where);
}

}  // namespace Scores
