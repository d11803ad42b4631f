// What the shared tree code (TableMapping, ObjectStore) needs from a database, so one walk of
// business object trees serves every SQL connector of the kit:
//
//   SqlError     a database or mapping failure, with a text that already names what failed;
//                each connector derives its own error type from it
//   SqlStatement one statement in use: parameters bound by number, rows stepped through
//   SqlSession   a connection that hands out statements by SQL text (each text prepared once
//                and reused)
//   SqlDialect   how SQL texts differ between databases: parameter markers, JSON arrays, the
//                integer column type and the names a database reserves for itself
//
// Every value is bound, never spliced into SQL text; names are quoted with sqltext::id.
// Threads: a session and its statements belong to one thread at a time.
#ifndef VY_SQL_COMMON_SQL_SESSION_HPP
#define VY_SQL_COMMON_SQL_SESSION_HPP

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class SqlError : public std::runtime_error {
 public:
  explicit SqlError(const std::string& what) : std::runtime_error(what) {}
};

class SqlStatement {
 public:
  virtual ~SqlStatement() = default;
  // Parameters are numbered from 1. No text (nullopt) binds SQL NULL, an empty one ''.
  virtual void bindText(int index, std::optional<std::string_view> text) = 0;
  virtual void bindInt(int index, long long value) = 0;
  // Advances to the next row: true when there is one, false when the statement is done. The
  // first call runs the statement.
  virtual bool step() = 0;
  // Runs a statement that returns no rows (or whose rows are not wanted).
  void run() {
    while (step()) {
    }
  }
  virtual bool isNull(int column) const = 0;
  // The column as text; an empty string for NULL.
  virtual std::string text(int column) const = 0;
  virtual long long integer(int column) const = 0;
};

class SqlSession {
 public:
  virtual ~SqlSession() = default;
  // The statement for `sql`, prepared on the connection's first use of the text.
  virtual std::unique_ptr<SqlStatement> statement(const std::string& sql) = 0;
};

class SqlDialect {
 public:
  virtual ~SqlDialect() = default;
  // The marker of parameter n (from 1) in SQL text.
  virtual std::string param(int n) const = 0;
  // An expression giving the text of a JSON array of the given SQL expressions.
  virtual std::string jsonArray(const std::vector<std::string>& items) const = 0;
  // The column type of the position column.
  virtual const char* integerType() const = 0;
  // True for a table name the database keeps for itself.
  virtual bool reservedTable(const std::string& name) const = 0;
  // The longest name (in bytes) the database keeps whole; 0 for no limit.
  virtual size_t maxNameBytes() const { return 0; }
};

#endif  // VY_SQL_COMMON_SQL_SESSION_HPP
