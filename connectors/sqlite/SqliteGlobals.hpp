// The globals of the SQLite connector: reads the configuration at init, owns the connections,
// the table mappings, the handler and the event poller, and raises events when the agent polls.
//
// Configuration (agent properties):
//   "DatabasePath"  the database file (default "sqlite-connector.db" in the working directory)
//   "PollQuantity"  events delivered per poll (default 25)
//   "CreateTables"  "false" to use existing tables only (default true: tables, triggers and the
//                   event table are created when missing)
//   "BusyTimeout"   milliseconds a writer waits for a lock held elsewhere before the request
//                   fails "database is locked" (default 30000)
//   "MaxPageCount"  the most pages the file may grow to (default: SQLite's limit); a write that
//                   needs more fails "database or disk is full"
//   "CheckAtStart"  "false" skips the quick integrity check at init (default true: a corrupt file
//                   fails init instead of failing requests one by one later)
//
// init returns 0, or -1 when the database cannot be opened or prepared or is corrupt (the reason
// is logged). A file that can only be read is served read-only (Retrieves work, writes fail
// "readonly") and written again once it may be; the connection a failure spoils is reopened on
// the next request, so the connector serves again as soon as the cause is gone.
// pollForEvents returns 0, or -1 when the database failed (logged). Ownership: the one static
// object of the library owns everything here. Threads: verbs on any agent threads, polls on the
// polling thread, all at once.
#ifndef SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP
#define SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP

#include <string>

#include "ConnectionPool.hpp"
#include "EventPoller.hpp"
#include "Schema.hpp"
#include "SqliteHandler.hpp"
#include "VyModern.hpp"

class SqliteGlobals : public vy::Globals {
 public:
  static constexpr const char* DEFAULT_DATABASE = "sqlite-connector.db";
  static constexpr std::string_view VERSION = "1.0.0";

  SqliteGlobals() : handler(*this), poller(pool, theSchema) {}

  BOHandlerCPP* handlerFor(std::string_view) override { return &handler; }
  std::string_view version() const override { return VERSION; }
  int init(KyVersion* version) override;
  int pollForEvents() override;
  int terminate() override;

  ConnectionPool& connections() { return pool; }
  Schema& schema() { return theSchema; }

 private:
  std::string property(const char* name);
  // A whole-number property, or `fallback` when absent or not a number (with a warning).
  long long numberProperty(const char* name, long long fallback);

  ConnectionPool pool;
  Schema theSchema;
  SqliteHandler handler;
  EventPoller poller;
};

#endif  // SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP
