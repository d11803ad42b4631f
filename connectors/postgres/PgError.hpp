// The one exception type of the PostgreSQL connector: a database or mapping failure, with a text
// that already names what failed. It never leaves the connector: the handler and the globals
// catch it and turn it into a status and an error text for the agent.
#ifndef PG_CONNECTOR_PG_ERROR_HPP
#define PG_CONNECTOR_PG_ERROR_HPP

#include <string>

#include "SqlSession.hpp"

class PgError : public SqlError {
 public:
  // `sqlstate` is the server's five-character code ("" for failures that are not the
  // server's); `lost` says the connection to the server is gone.
  PgError(const std::string& what, std::string sqlstate = std::string(), bool lost = false)
      : SqlError(what), state(std::move(sqlstate)), lostConnection(lost) {}
  const std::string& sqlstate() const { return state; }
  // True when the connection died with this failure (a server restarted or stopped, a network
  // fault): the connection is remade before its next use.
  bool connectionLost() const { return lostConnection; }

 private:
  std::string state;
  bool lostConnection;
};

#endif  // PG_CONNECTOR_PG_ERROR_HPP
