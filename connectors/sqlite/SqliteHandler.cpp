#include "SqliteHandler.hpp"

#include <exception>

#include "BOAttrType.hpp"
#include "BusinessObject.hpp"
#include "ConnectionPool.hpp"
#include "KyMsgFormat.hpp"
#include "ObjectStore.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "SqliteGlobals.hpp"
#include "Transaction.hpp"

namespace {

// Key values in error texts are cut to this many bytes; a 1 MB key must not become a 1 MB
// message.
const size_t SHOWN_VALUE = 80;

}  // namespace

std::string SqliteHandler::describe(BusinessObject& bo, const char* verb,
                                    const std::string& cause) {
  std::string text = bo.getName() != nullptr ? bo.getName() : "?";
  text += " [";
  bool first = true;
  for (int i = 0; i < bo.getAttrCount(); i++) {
    BOAttrType* a = bo.getAttrDesc(i);
    if (a == nullptr || !a->isKey() || a->isObjectType()) continue;
    if (!first) text += ", ";
    first = false;
    text += a->getName();
    text += "=";
    if (bo.isIgnore(i)) {
      text += "<none>";
    } else if (bo.isBlank(i)) {
      text += "<blank>";
    } else {
      std::string value = static_cast<const char*>(bo.getAttrValue(i));
      if (value.size() > SHOWN_VALUE) value = value.substr(0, SHOWN_VALUE) + "...";
      text += value;
    }
  }
  text += "]: ";
  text += verb;
  text += " failed: ";
  text += cause;
  return text;
}

int SqliteHandler::doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) {
  const std::string verb = bo.getVerb() != nullptr ? bo.getVerb() : "";
  try {
    return runVerb(bo, verb, status);
  } catch (const std::exception& e) {
    // Database errors, and anything else, end here: the transaction is already rolled back.
    // A connection a failure spoiled (opened read-only, a corrupt file) is closed, so the next
    // request opens the file as it is then.
    const SqliteError* error = dynamic_cast<const SqliteError*>(&e);
    if (error != nullptr && error->spoilsConnection()) globals.connections().discard();
    std::string text = describe(bo, verb.c_str(), e.what());
    status->seterrMsg(text.c_str());
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
}

int SqliteHandler::runVerb(BusinessObject& bo, const std::string& verb,
                           ReturnStatusDescriptor* status) {
  SqliteConnection& connection = verb == "Retrieve" ? globals.connections().forThisThread()
                                                    : globals.connections().forWriting();
  ObjectStore store(connection, globals.schema());
  // Tables are made outside the verb's transaction, so a failing verb never takes them along.
  globals.schema().ensure(connection, bo.getTheSpec());

  if (verb == BusinessObject::UPDATE_VERB && bo.isDelta()) {
    // The kit's retrieve-then-update, both inside this transaction: the nested verbs take
    // savepoints, so nothing changes between the retrieve and the update.
    Transaction transaction(connection, true);
    int result = doDeltaWork(bo, status);
    if (result == 1 || result == -5) transaction.commit();
    return result;
  }

  bool found;
  Transaction transaction(connection, verb != "Retrieve");
  if (verb == BusinessObject::CREATE_VERB) {
    store.create(bo);
    found = true;
  } else if (verb == "Retrieve") {
    found = store.retrieve(bo);
  } else if (verb == BusinessObject::UPDATE_VERB) {
    found = store.update(bo);
  } else if (verb == BusinessObject::DELETE_VERB) {
    found = store.remove(bo);
  } else {
    status->seterrMsg(describe(bo, verb.c_str(), "the verb is not supported").c_str());
    return -1;
  }
  if (!found) {
    status->seterrMsg(describe(bo, verb.c_str(), "no such object in the database").c_str());
    return -1;
  }
  transaction.commit();
  return 1;
}
