// The globals of the PostgreSQL connector: reads the configuration at init, owns the connection
// pool, the table mappings, the handler and the event poller, and raises events when the agent
// polls. Several agents (processes, machines) may serve one database at once.
//
// Configuration (agent properties):
//   "ConnectionString"  a libpq connection string or URI ("host=db1 port=5432 dbname=app" or
//                       "postgresql://app@db1/app"); it wins over the five below
//   "Host", "Port", "Database", "User", "Password"
//                       the same, one by one (each left out: libpq's default, PGHOST etc.)
//   "PoolSize"          connections the agent threads share (default 4); the poller has one
//                       more of its own
//   "PollQuantity"      events delivered per poll (default 25)
//   "CreateTables"      "false" to use existing tables only (default true: tables, the trigger,
//                       the event table and the trigger function are created when missing)
//   "StatementTimeout"  milliseconds a statement may take, lock waits included, before the
//                       request fails naming the timeout (default 30000; 0: no limit)
//   "ConnectTimeout"    seconds to wait for the server when connecting (default 5)
//
// init returns 0, or -1 when the server cannot be reached or the shared tables cannot be
// prepared (the reason is logged); a later init succeeds once the server is back. A connection
// lost while the connector runs (the server restarted) fails the requests that were using it,
// with a text that says so, and is remade for the next ones. pollForEvents returns 0, or -1 when
// the database failed (logged); the events of a failed poll stay pending.
// Ownership: the one static object of the library owns everything here. Threads: verbs on any
// agent threads, polls on the polling thread, all at once.
#ifndef PG_CONNECTOR_PG_GLOBALS_HPP
#define PG_CONNECTOR_PG_GLOBALS_HPP

#include <string>

#include "PgEventPoller.hpp"
#include "PgHandler.hpp"
#include "PgPool.hpp"
#include "PgSchema.hpp"
#include "VyModern.hpp"

class PgGlobals : public vy::Globals {
 public:
  static constexpr std::string_view VERSION = "1.0.0";

  PgGlobals() : handler(*this), poller(theSchema) {}

  BOHandlerCPP* handlerFor(std::string_view) override { return &handler; }
  std::string_view version() const override { return VERSION; }
  int init(KyVersion* version) override;
  int pollForEvents() override;
  int terminate() override;

  PgPool& connections() { return pool; }
  PgSchema& schema() { return theSchema; }

 private:
  PgPool pool;
  PgSchema theSchema;
  PgHandler handler;
  PgEventPoller poller;
};

#endif  // PG_CONNECTOR_PG_GLOBALS_HPP
