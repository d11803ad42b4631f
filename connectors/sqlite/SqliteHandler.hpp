// The business object handler of the SQLite connector: carries out Create, Retrieve, Update and
// Delete on whole trees, each in one SQLite transaction, so a failing verb leaves the database
// as it was.
//
// Results: 1 with the object written back (created keys, the retrieved tree, the updated tree);
// -1 for an object that is not there, an unsupported verb or any database error, with an error
// text naming the type, the key and the cause (the database's own message). A delta "Update"
// runs as retrieve-then-update inside one transaction.
// Ownership: one handler serves every type for the life of the process. Threads: any number of
// agent threads at once; each uses its own connection.
#ifndef SQLITE_CONNECTOR_SQLITE_HANDLER_HPP
#define SQLITE_CONNECTOR_SQLITE_HANDLER_HPP

#include <string>

#include "BOHandlerCPP.hpp"

class SqliteGlobals;

class SqliteHandler : public BOHandlerCPP {
 public:
  explicit SqliteHandler(SqliteGlobals& globals) : globals(globals) {}

  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override;

  // "<type> [<key>=<value>, ...]: <verb> failed: <cause>", with long values shortened.
  static std::string describe(BusinessObject& bo, const char* verb, const std::string& cause);

 private:
  int runVerb(BusinessObject& bo, const std::string& verb, ReturnStatusDescriptor* status);

  SqliteGlobals& globals;
};

#endif  // SQLITE_CONNECTOR_SQLITE_HANDLER_HPP
