// The business object handler of the SQLite connector: carries out Create, Retrieve, Update and
// Delete on whole trees, each in one SQLite transaction, so a failing verb leaves the database
// as it was.
//
// Results: 1 with the object written back (created keys, the retrieved tree, the updated tree);
// -1 for an object that is not there, an unsupported verb or any database error, with an error
// text naming the type, the key and the cause (the database's own message), also logged. A
// delta "Update" runs as retrieve-then-update inside one transaction.
// Ownership: one handler serves every type for the life of the process. Threads: any number of
// agent threads at once; each uses its own connection.
#ifndef SQLITE_CONNECTOR_SQLITE_HANDLER_HPP
#define SQLITE_CONNECTOR_SQLITE_HANDLER_HPP

#include <string>
#include <string_view>

#include "VyModern.hpp"

class SqliteGlobals;

class SqliteHandler : public vy::Handler {
 public:
  explicit SqliteHandler(SqliteGlobals& globals) : globals(globals) {}

  // "<type> [<key>=<value>, ...]: <verb> failed: <cause>", with long values shortened.
  static std::string describe(BusinessObject& bo, std::string_view verb, std::string_view cause);

 protected:
  // Every failure leaves as a vy::VerbError with the described text.
  vy::Status verb(BusinessObject& bo, std::string_view verb) override;

 private:
  vy::Status run(BusinessObject& bo, std::string_view verb);

  SqliteGlobals& globals;
};

#endif  // SQLITE_CONNECTOR_SQLITE_HANDLER_HPP
