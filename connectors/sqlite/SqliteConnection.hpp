// One open SQLite database connection with its cache of prepared statements.
//
// The connection is opened in WAL mode (readers never wait for the writer) with a busy timeout
// (30 s unless configured), so several connections of one process, and other processes, share
// the file. Every statement text is prepared once and reused; prepare() leases it as a
// Statement. Failures throw SqliteError with the database's message (see databaseError).
// Threads: a connection belongs to one thread at a time (ConnectionPool gives each thread its
// own).
#ifndef SQLITE_CONNECTOR_SQLITE_CONNECTION_HPP
#define SQLITE_CONNECTOR_SQLITE_CONNECTION_HPP

#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "Statement.hpp"

class SqliteConnection : public SqlSession {
 public:
  // How connections are opened; the same for every connection of a pool.
  struct Options {
    static const int DEFAULT_BUSY_TIMEOUT_MS = 30000;
    std::string path;
    // How long a writer waits for a lock another connection holds before failing "locked".
    int busyTimeoutMs = DEFAULT_BUSY_TIMEOUT_MS;
    // The most pages the database file may grow to; 0 leaves SQLite's own limit.
    long long maxPageCount = 0;
  };

  // Opens (creating when missing) the database file.
  explicit SqliteConnection(const Options& options);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  // The cached statement for `sql`, prepared on first use.
  Statement prepare(const std::string& sql);
  // The same, for the shared tree code.
  std::unique_ptr<SqlStatement> statement(const std::string& sql) override;
  // Runs one or more statements that take no parameters.
  void exec(const std::string& sql);
  // True when no transaction is open on this connection.
  bool inAutocommit() const { return sqlite3_get_autocommit(db) != 0; }
  // True when SQLite could open the file for reading only (no write permission, a read-only
  // file system): every write fails "readonly" until a new connection is opened.
  bool readOnly() const { return sqlite3_db_readonly(db, "main") == 1; }
  // True for a read-only connection whose file may be written by now: a new connection writes.
  bool writableAgain() const;
  sqlite3* handle() const { return db; }

 private:
  struct Cached {
    sqlite3_stmt* stmt = nullptr;
    bool inUse = false;
  };

  // The statement for `sql` and its lease flag, or a private copy (and null) when the cached
  // one is in use.
  sqlite3_stmt* lease(const std::string& sql, bool** inUse);

  std::string path;
  sqlite3* db = nullptr;
  std::unordered_map<std::string, std::unique_ptr<Cached>> cache;
};

#endif  // SQLITE_CONNECTOR_SQLITE_CONNECTION_HPP
