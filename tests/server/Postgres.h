#pragma once
// A real PostgreSQL 15 server from Debian's packages in a folder of the test's own,
// reached through a Unix socket in that folder (so no port is shared with anything), run
// as an unprivileged user when the test runs as root. Stopped when the handle goes.
#include <libpq-fe.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "tests/server/ServerProcess.h"

namespace ServerTest {

inline const std::string PostgresBin = "/usr/lib/postgresql/15/bin/";

inline bool PostgresInstalled() { return std::filesystem::exists(PostgresBin + "postgres"); }

// A path as the host part of a connection URI.
inline std::string UriHost(const std::string& path) {
  std::string out;
  for (char c : path) out += c == '/' ? "%2F" : std::string(1, c);
  return out;
}

struct TPostgres {
  std::filesystem::path Folder;
  TUnprivileged User;
  std::optional<TChild> Server;
  std::string Uri;  // the results database, as the score server takes it

  explicit TPostgres(const std::filesystem::path& parent) : Folder(parent / "pg") {
    std::filesystem::create_directories(Folder);
    std::filesystem::permissions(Folder, std::filesystem::perms::owner_all);
    User.Give(Folder);
    const std::string data = (Folder / "data").string();
    {
      TChild initdb(User.Command({PostgresBin + "initdb", "-D", data, "-U", "sprayrush", "-A", "trust", "-E",
                                  "UTF8", "--no-locale", "--no-sync"}),
                    TChild::ErrorsWithOutput, Folder.string());
      const std::string said = initdb.ReadAll(120000);
      if (initdb.Wait(120000) != 0) throw std::runtime_error("initdb failed: " + said);
    }
    Server.emplace(User.Command({PostgresBin + "postgres", "-D", data, "-k", Folder.string(), "-c",
                                 "listen_addresses=", "-p", "5432"},
                                "QUIT"),
                   TChild::ErrorsQuiet, Folder.string());
    const std::string admin = Conninfo("postgres");
    for (int i = 0; PQping(admin.c_str()) != PQPING_OK; ++i) {
      if (i > 600) throw std::runtime_error("PostgreSQL did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Execute("postgres", "CREATE DATABASE scores");
    Uri = "postgresql://sprayrush@" + UriHost(Folder.string()) + ":5432/scores";
  }

  ~TPostgres() {
    // A fast shutdown; the handle kills it should that not come.
    if (Server && Server->Pid > 0) Server->Stop(SIGINT, 30000);
  }

  std::string Conninfo(const std::string& database) const {
    return "host=" + Folder.string() + " port=5432 user=sprayrush dbname=" + database;
  }

  // Runs SQL as the database's owner; throws with PostgreSQL's message.
  void Execute(const std::string& database, const std::string& sql) const {
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(Conninfo(database).c_str()), PQfinish);
    std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(conn.get(), sql.c_str()), PQclear);
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      throw std::runtime_error(sql + ": " + PQerrorMessage(conn.get()));
  }
};

}  // namespace ServerTest
