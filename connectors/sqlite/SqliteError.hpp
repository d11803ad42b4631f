// The one exception type of the SQLite connector: a database or mapping failure, with a text
// that already names what failed. It never leaves the connector: the handler and the globals
// catch it and turn it into a status and an error text for the agent.
#ifndef SQLITE_CONNECTOR_SQLITE_ERROR_HPP
#define SQLITE_CONNECTOR_SQLITE_ERROR_HPP

#include <stdexcept>
#include <string>

class SqliteError : public std::runtime_error {
 public:
  // `code` is SQLite's extended result code, 0 for failures that are not the database's.
  explicit SqliteError(const std::string& what, int code = 0)
      : std::runtime_error(what), resultCode(code) {}
  int code() const { return resultCode; }

 private:
  int resultCode;
};

#endif  // SQLITE_CONNECTOR_SQLITE_ERROR_HPP
