#include "SqliteHandler.hpp"

#include <exception>

#include "ConnectionPool.hpp"
#include "ConnectorText.hpp"
#include "ObjectStore.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "SqliteGlobals.hpp"
#include "Transaction.hpp"

std::string SqliteHandler::describe(BusinessObject& bo, std::string_view verb,
                                    std::string_view cause) {
  return connectortext::describe(bo, verb, cause);
}

vy::Status SqliteHandler::verb(BusinessObject& bo, std::string_view verb) {
  try {
    return run(bo, verb);
  } catch (const vy::VerbError&) {
    throw;  // described already
  } catch (const std::exception& e) {
    // Database errors, and anything else, end here: the transaction is already rolled back.
    // A connection a failure spoiled (opened read-only, a corrupt file) is closed, so the next
    // request opens the file as it is then.
    if (spoilsConnection(e)) globals.connections().discard();
    throw vy::VerbError(describe(bo, verb, e.what()));
  }
}

vy::Status SqliteHandler::run(BusinessObject& bo, std::string_view verb) {
  const bool retrieve = verb == "Retrieve";
  SqliteConnection& connection =
      retrieve ? globals.connections().forThisThread() : globals.connections().forWriting();
  ObjectStore store(connection, globals.schema());
  // Tables are made outside the verb's transaction, so a failing verb never takes them along.
  globals.schema().ensure(connection, bo.getTheSpec());

  if (verb == BusinessObject::UPDATE_VERB && bo.isDelta()) {
    // The kit's retrieve-then-update, both inside this transaction: the nested verbs take
    // savepoints, so nothing changes between the retrieve and the update.
    Transaction transaction(connection, true);
    ReturnStatusDescriptor nested;
    int result = doDeltaWork(bo, &nested);
    if (result != 1 && result != -5) {
      const char* why = nested.getErrorMsg();
      throw vy::VerbError(
          why != nullptr && *why != '\0' ? why : describe(bo, verb, "the retrieve failed"), result);
    }
    transaction.commit();
    return static_cast<vy::Status>(result);
  }

  Transaction transaction(connection, !retrieve);
  const bool found = store.run(bo, verb);
  if (!found) throw vy::VerbError(describe(bo, verb, "no such object in the database"));
  transaction.commit();
  return vy::Status::Success;
}
