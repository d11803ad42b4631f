#include "PgEventPoller.hpp"

#include <string>
#include <vector>

#include "ObjectStore.hpp"
#include "PgError.hpp"
#include "PgSchema.hpp"
#include "PgTransaction.hpp"

namespace {

struct Event {
  std::string id, type, verb, key;
};

// A text[] parameter: {"a","b"} with " and \ escaped.
std::string textArray(const std::vector<std::string>& items) {
  std::string out = "{";
  for (size_t i = 0; i < items.size(); i++) {
    out += i > 0 ? ",\"" : "\"";
    for (char c : items[i]) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out + "}";
}

// The kinds asked for, given as two arrays of the same length ($1 types, $2 verbs).
const char* const kClaim =
    "SELECT e.id, e.type, e.verb, e.key FROM vy_event e"
    " WHERE (e.type, e.verb) IN (SELECT * FROM unnest($1::text[], $2::text[]))"
    " AND NOT EXISTS (SELECT 1 FROM vy_event p WHERE p.type = e.type AND p.key = e.key"
    " AND p.id < e.id AND (p.type, p.verb) IN (SELECT * FROM unnest($1::text[], $2::text[])))"
    " ORDER BY e.id LIMIT $3 FOR UPDATE OF e SKIP LOCKED";

// The event's object: keys from the event, and for "Create" and "Update" the current tree. Null
// for a type the agent has not announced (yet).
std::unique_ptr<BusinessObject> eventObject(PgConnection& connection, PgSchema& schema,
                                            const Event& event) {
  if (vy::findSpec(event.type) == nullptr) return nullptr;
  std::unique_ptr<BusinessObject> bo = vy::makeObject(event.type);
  const TableMapping& m = schema.mappingFor(bo->getTheSpec());
  std::vector<std::string> keys;
  {
    std::unique_ptr<SqlStatement> st = connection.statement(
        "SELECT value FROM json_array_elements_text($1::json) WITH ORDINALITY ORDER BY ordinality");
    st->bindText(1, event.key);
    while (st->step()) keys.push_back(st->text(0));
  }
  const std::vector<vy::Attr>& keyAttrs = m.keyAttrs();
  for (size_t k = 0; k < keys.size() && k < keyAttrs.size(); k++)
    vy::set(*bo, keyAttrs[k], keys[k]);
  if (event.verb != BusinessObject::DELETE_VERB && keys.size() == keyAttrs.size() &&
      !keys.empty()) {
    ObjectStore(connection, schema).retrieve(*bo);
  }
  return bo;
}

}  // namespace

void PgEventPoller::setQuantity(int n) { quantity = n > 0 ? n : DEFAULT_QUANTITY; }

void PgEventPoller::open(const PgConnection::Options& o) {
  std::lock_guard<std::mutex> guard(pollLock);
  connection.reset();
  options = o;
}

void PgEventPoller::close() {
  std::lock_guard<std::mutex> guard(pollLock);
  connection.reset();
}

int PgEventPoller::poll() {
  std::lock_guard<std::mutex> guard(pollLock);
  if (connection == nullptr || !connection->usable()) {
    connection.reset();
    connection = std::make_unique<PgConnection>(options);
  }
  PgConnection& c = *connection;

  // Which kinds of pending event somebody wants; the others stay where they are.
  std::vector<std::string> types, verbs;
  {
    std::unique_ptr<SqlStatement> st = c.statement("SELECT DISTINCT type, verb FROM vy_event");
    while (st->step()) {
      std::string type = st->text(0), verb = st->text(1);
      if (vy::isSubscribed(type, verb) == 1) {
        types.push_back(type);
        verbs.push_back(verb);
      }
    }
  }
  if (types.empty()) return 0;
  // Tables of types this agent has not used yet are made ready before the claim.
  for (const std::string& type : types) {
    if (BusObjSpec* spec = vy::findSpec(type)) schema.ensure(c, spec);
  }

  PgTransaction transaction(c);
  std::vector<Event> events;
  {
    std::unique_ptr<SqlStatement> st = c.statement(kClaim);
    st->bindText(1, textArray(types));
    st->bindText(2, textArray(verbs));
    st->bindInt(3, quantity.load());
    while (st->step()) events.push_back({st->text(0), st->text(1), st->text(2), st->text(3)});
  }

  int delivered = 0;
  std::string failure;
  for (const Event& event : events) {
    std::unique_ptr<BusinessObject> bo;
    try {
      // In a savepoint: a tree that cannot be read ends the poll, and the events taken so far
      // stay taken.
      PgTransaction read(c);
      bo = eventObject(c, schema, event);
      read.commit();
    } catch (const PgError& e) {
      if (e.connectionLost()) throw;
      failure = e.what();
      break;
    } catch (const std::exception& e) {
      failure = e.what();
      break;
    }
    if (bo == nullptr) continue;  // a type the agent has not announced (yet)
    int answer = vy::raiseEvent(*bo, event.verb);
    if (answer < 0) {
      if (answer == vy::kEventNotSubscribed) continue;  // the subscription went away meanwhile
      break;  // refused: keep the order, try again next poll
    }
    std::unique_ptr<SqlStatement> st = c.statement("DELETE FROM vy_event WHERE id = $1");
    st->bindText(1, event.id);
    st->run();
    delivered++;
  }
  transaction.commit();
  if (!failure.empty()) throw PgError("reading the object of an event failed: " + failure);
  return delivered;
}
