// The globals of the SQLite connector: reads the configuration at init, owns the connections,
// the table mappings, the handler and the event poller, and raises events when the agent polls.
//
// Configuration (agent properties):
//   "DatabasePath"  the database file (default "sqlite-connector.db" in the working directory)
//   "PollQuantity"  events delivered per poll (default 25)
//   "CreateTables"  "false" to use existing tables only (default true: tables, triggers and the
//                   event table are created when missing)
//
// init returns 0, or -1 when the database cannot be opened or prepared (the reason is logged);
// pollForEvents returns 0, or -1 when the database failed (logged). Ownership: the one static
// object of the library owns everything here. Threads: verbs on any agent threads, polls on the
// polling thread, all at once.
#ifndef SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP
#define SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP

#include <string>

#include "ConnectionPool.hpp"
#include "EventPoller.hpp"
#include "GenGlobals.hpp"
#include "Schema.hpp"
#include "SqliteHandler.hpp"

class SqliteGlobals : public GenGlobals {
 public:
  static const char* const DEFAULT_DATABASE;  // "sqlite-connector.db"

  SqliteGlobals();
  ~SqliteGlobals() override;

  BOHandlerCPP* getBOHandlerforBO(char* boName) override;
  int init(KyVersion* version) override;
  int pollForEvents() override;
  int terminate() override;
  char* getVersion() override;

  ConnectionPool& connections() { return pool; }
  Schema& schema() { return theSchema; }

 private:
  std::string property(const char* name);

  ConnectionPool pool;
  Schema theSchema;
  SqliteHandler handler;
  EventPoller poller;
};

#endif  // SQLITE_CONNECTOR_SQLITE_GLOBALS_HPP
