// One connection to the PostgreSQL server (libpq) with its prepared statements.
//
// Every SQL text is prepared once per connection (PQprepare, named vy_1, vy_2, ...) and run with
// its values bound as text parameters (PQexecPrepared); a statement's rows are read whole when it
// runs, so a tree walk may run the same statement again while it reads. Each connection sets the
// session's statement_timeout when it connects. Failures throw PgError with the server's message
// (and SQLSTATE); one that loses the connection says so, and the next begin() remakes the
// connection (its prepared statements with it) before anything is sent.
// Threads: a connection belongs to one thread at a time (PgPool hands them out).
#ifndef PG_CONNECTOR_PG_CONNECTION_HPP
#define PG_CONNECTOR_PG_CONNECTION_HPP

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "SqlSession.hpp"

class PgError;

class PgConnection : public SqlSession {
 public:
  struct Options {
    static const int DEFAULT_STATEMENT_TIMEOUT_MS = 30000;
    static const int DEFAULT_CONNECT_TIMEOUT_S = 5;
    // A libpq connection string or URI ("host=... dbname=..."), or empty.
    std::string connectionString;
    // Used where the connection string leaves them out (empty: libpq's defaults, PGHOST etc.).
    std::string host, port, database, user, password;
    // The most a statement may run (lock waits included); 0 for no limit.
    int statementTimeoutMs = DEFAULT_STATEMENT_TIMEOUT_MS;
    int connectTimeoutS = DEFAULT_CONNECT_TIMEOUT_S;
    // What the server shows as the connection's application.
    std::string applicationName = "vy-postgres-connector";
    // The libpq settings: the connection string's, then the separate ones it leaves out, and
    // the connector's own. Throws PgError for a connection string libpq cannot read.
    std::map<std::string, std::string> settings() const;
    // "host=... port=... dbname=... user=..." for messages (never the password).
    std::string describe() const;
  };

  // Connects; throws PgError (lost) when the server cannot be reached or refuses.
  explicit PgConnection(const Options& options);
  ~PgConnection() override;
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  std::unique_ptr<SqlStatement> statement(const std::string& sql) override;
  // Runs one or more statements that take no parameters and whose rows are not wanted.
  void exec(const std::string& sql);

  // BEGIN. A connection found dead here (the server restarted since its last use) is remade
  // once first: nothing of the caller's work was sent yet.
  void begin();
  // True while a transaction is open (or failed and not yet rolled back).
  bool inTransaction() const;
  // False once the connection is gone: it is then closed instead of reused.
  bool usable() const { return PQstatus(conn) == CONNECTION_OK; }

  // The error the connection reports for `result` (may be null), with the cause named where
  // the server's text leaves it out.
  PgError error(const PGresult* result) const;
  PGconn* handle() const { return conn; }

 private:
  void connect();
  const std::string& prepared(const std::string& sql);

  Options options;
  PGconn* conn = nullptr;
  std::unordered_map<std::string, std::string> names;  // SQL text -> prepared statement name
};

#endif  // PG_CONNECTOR_PG_CONNECTION_HPP
