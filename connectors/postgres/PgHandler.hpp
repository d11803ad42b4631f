// The business object handler of the PostgreSQL connector: carries out Create, Retrieve, Update
// and Delete on whole trees, each in one transaction on a pooled connection, so a failing verb
// leaves the database as it was.
//
// Results: 1 with the object written back (created keys, the retrieved tree, the updated tree);
// -1 for an object that is not there, an unsupported verb or any database error, with an error
// text naming the type, the key and the cause (the server's own message; a lost connection and
// a statement timeout are named as such), also logged. Update and Delete lock the stored
// top-level row first (SELECT ... FOR UPDATE), so two agents writing one object take turns. A
// delta "Update" runs as retrieve-then-update inside one transaction.
// Ownership: one handler serves every type for the life of the process. Threads: any number of
// agent threads at once; each verb leases its own connection.
#ifndef PG_CONNECTOR_PG_HANDLER_HPP
#define PG_CONNECTOR_PG_HANDLER_HPP

#include <string_view>

#include "VyModern.hpp"

class PgGlobals;

class PgHandler : public vy::Handler {
 public:
  explicit PgHandler(PgGlobals& globals) : globals(globals) {}

 protected:
  // Every failure leaves as a vy::VerbError with the described text.
  vy::Status verb(BusinessObject& bo, std::string_view verb) override;

 private:
  vy::Status run(BusinessObject& bo, std::string_view verb);

  PgGlobals& globals;
};

#endif  // PG_CONNECTOR_PG_HANDLER_HPP
