#include "PgHandler.hpp"

#include <exception>
#include <string>
#include <vector>

#include "ConnectorText.hpp"
#include "ObjectStore.hpp"
#include "PgConnection.hpp"
#include "PgError.hpp"
#include "PgGlobals.hpp"
#include "PgTransaction.hpp"

namespace {

// Locks the stored top-level row with bo's keys until the transaction ends, so that concurrent
// Updates and Deletes of one object (from any agent) run one after the other instead of each
// comparing against a tree the other is changing. False when there is no such row.
bool lockTop(PgConnection& connection, const TableMapping& m, BusinessObject& bo) {
  std::vector<std::string> keys = ObjectStore::keyValues(bo, m);
  std::unique_ptr<SqlStatement> st = connection.statement(m.selectTopSql() + " FOR UPDATE");
  for (size_t k = 0; k < keys.size(); k++) st->bindText(static_cast<int>(k) + 1, keys[k]);
  return st->step();
}

}  // namespace

vy::Status PgHandler::verb(BusinessObject& bo, std::string_view verb) {
  try {
    return run(bo, verb);
  } catch (const vy::VerbError&) {
    throw;  // described already
  } catch (const std::exception& e) {
    // Database errors, and anything else, end here: the transaction is already rolled back
    // (or, with the connection gone, the server rolled it back), and a dead connection is closed
    // when its lease ends, so the next request gets a new one.
    throw vy::VerbError(connectortext::describe(bo, verb, e.what()));
  }
}

vy::Status PgHandler::run(BusinessObject& bo, std::string_view verb) {
  PgPool::Lease lease(globals.connections());
  PgConnection& connection = *lease;
  // Tables are made outside the verb's transaction, so a failing verb never takes them along.
  const TableMapping& m = globals.schema().ensure(connection, bo.getTheSpec());
  ObjectStore store(connection, globals.schema());

  if (verb == BusinessObject::UPDATE_VERB && bo.isDelta()) {
    // The kit's retrieve-then-update, both inside this transaction: the nested verbs lease this
    // thread's connection again and take savepoints.
    PgTransaction transaction(connection);
    ReturnStatusDescriptor nested;
    int result = doDeltaWork(bo, &nested);
    if (result != 1 && result != -5) {
      const char* why = nested.getErrorMsg();
      throw vy::VerbError(why != nullptr && *why != '\0'
                              ? why
                              : connectortext::describe(bo, verb, "the retrieve failed"),
                          result);
    }
    transaction.commit();
    return static_cast<vy::Status>(result);
  }

  PgTransaction transaction(connection);
  const bool writes = verb == BusinessObject::UPDATE_VERB || verb == BusinessObject::DELETE_VERB;
  const bool found = (!writes || lockTop(connection, m, bo)) && store.run(bo, verb);
  if (!found) {
    throw vy::VerbError(connectortext::describe(bo, verb, "no such object in the database"));
  }
  transaction.commit();
  return vy::Status::Success;
}
