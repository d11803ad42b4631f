// The one exception type of the SQLite connector: a database or mapping failure, with a text
// that already names what failed. It never leaves the connector: the handler and the globals
// catch it and turn it into a status and an error text for the agent.
#ifndef SQLITE_CONNECTOR_SQLITE_ERROR_HPP
#define SQLITE_CONNECTOR_SQLITE_ERROR_HPP

#include <string>

#include "SqlSession.hpp"

struct sqlite3;

class SqliteError : public SqlError {
 public:
  // `code` is SQLite's extended result code, 0 for failures that are not the database's.
  explicit SqliteError(const std::string& what, int code = 0) : SqlError(what), resultCode(code) {}
  int code() const { return resultCode; }
  // True for a failure after which the connection should not be used again: the file was
  // opened read-only, or it is corrupt, unreadable or gone. The next request opens a new
  // connection, which sees the file as it is by then.
  bool spoilsConnection() const;

 private:
  int resultCode;
};

// True when `e` is an SqliteError that spoils its connection.
inline bool spoilsConnection(const std::exception& e) {
  const SqliteError* error = dynamic_cast<const SqliteError*>(&e);
  return error != nullptr && error->spoilsConnection();
}

// The error the connection `db` reports now (its message and extended code), with a word on the
// cause where SQLite's own text leaves it out: a lock held past the busy timeout, a corrupt file,
// a file that is not a database.
SqliteError databaseError(sqlite3* db);

#endif  // SQLITE_CONNECTOR_SQLITE_ERROR_HPP
