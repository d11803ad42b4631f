#include "EventPoller.hpp"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConnectionPool.hpp"
#include "ObjectStore.hpp"
#include "Schema.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "TableMapping.hpp"
#include "Transaction.hpp"

namespace {

struct Event {
  long long id;
  std::string type, verb, key;
};

void setTaken(SqliteConnection& connection, long long id, int taken) {
  Statement st = connection.prepare("UPDATE vy_event SET taken = ?1 WHERE id = ?2");
  st.bindInt(1, taken);
  st.bindInt(2, id);
  st.run();
}

// The event's object: keys from the event, and for "Create" and "Update" the current tree. Null
// for a type the agent has not announced (yet).
std::unique_ptr<BusinessObject> eventObject(SqliteConnection& connection, Schema& schema,
                                            const Event& event) {
  if (vy::findSpec(event.type) == nullptr) return nullptr;
  std::unique_ptr<BusinessObject> bo = vy::makeObject(event.type);
  const TableMapping& m = schema.ensure(connection, bo->getTheSpec());
  std::vector<std::string> keys;
  {
    Statement st = connection.prepare("SELECT value FROM json_each(?1) ORDER BY key");
    st.bindText(1, event.key);
    while (st.step()) keys.push_back(st.text(0));
  }
  const std::vector<vy::Attr>& keyAttrs = m.keyAttrs();
  for (size_t k = 0; k < keys.size() && k < keyAttrs.size(); k++)
    vy::set(*bo, keyAttrs[k], keys[k]);
  if (event.verb != BusinessObject::DELETE_VERB && keys.size() == keyAttrs.size() &&
      !keys.empty()) {
    Transaction transaction(connection, false);
    ObjectStore(connection, schema).retrieve(*bo);
    transaction.commit();
  }
  return bo;
}

}  // namespace

void EventPoller::requeueTaken(SqliteConnection& connection) {
  connection.exec("UPDATE vy_event SET taken = 0 WHERE taken <> 0");
  requeue = false;
}

void EventPoller::setQuantity(int n) { quantity = n > 0 ? n : DEFAULT_QUANTITY; }

int EventPoller::poll() {
  std::lock_guard<std::mutex> guard(pollLock);
  SqliteConnection& connection = pool.forWriting();
  if (requeue) requeueTaken(connection);

  // The events written up to now, and no later: the kinds are read first, the events of those
  // kinds next, and an object's Create and Update written between the two reads would otherwise
  // come out Update first (its Create of a kind not yet pending when the kinds were read).
  long long last = 0;
  {
    Statement st = connection.prepare("SELECT coalesce(max(id), 0) FROM vy_event");
    if (st.step()) last = st.integer(0);
  }

  // Which kinds of pending event somebody wants; the others stay where they are.
  std::vector<std::pair<std::string, std::string>> wanted;
  {
    Statement st =
        connection.prepare("SELECT DISTINCT type, verb FROM vy_event WHERE taken = 0 AND id <= ?1");
    st.bindInt(1, last);
    while (st.step()) {
      std::string type = st.text(0), verb = st.text(1);
      if (vy::isSubscribed(type, verb) == 1) wanted.emplace_back(type, verb);
    }
  }
  if (wanted.empty()) return 0;

  std::string sql =
      "SELECT id, type, verb, key FROM vy_event WHERE taken = 0 AND id <= " + std::to_string(last) +
      " AND (";
  for (size_t i = 0; i < wanted.size(); i++) {
    if (i > 0) sql += " OR ";
    sql +=
        "(type = ?" + std::to_string(2 * i + 1) + " AND verb = ?" + std::to_string(2 * i + 2) + ")";
  }
  sql += ") ORDER BY id LIMIT ?" + std::to_string(2 * wanted.size() + 1);
  std::vector<Event> events;
  {
    Statement st = connection.prepare(sql);
    for (size_t i = 0; i < wanted.size(); i++) {
      st.bindText(static_cast<int>(2 * i + 1), wanted[i].first);
      st.bindText(static_cast<int>(2 * i + 2), wanted[i].second);
    }
    st.bindInt(static_cast<int>(2 * wanted.size() + 1), quantity.load());
    while (st.step()) events.push_back({st.integer(0), st.text(1), st.text(2), st.text(3)});
  }

  int delivered = 0;
  for (const Event& event : events) {
    // Marked before the object is read: a child written from now on raises a new event instead
    // of being folded into this one.
    setTaken(connection, event.id, 1);
    int answer;
    try {
      std::unique_ptr<BusinessObject> bo = eventObject(connection, schema, event);
      if (bo == nullptr) {
        setTaken(connection, event.id, 0);
        continue;  // a type the agent has not announced (yet)
      }
      answer = vy::raiseEvent(*bo, event.verb);
    } catch (...) {
      setTaken(connection, event.id, 0);
      throw;
    }
    if (answer < 0) {
      setTaken(connection, event.id, 0);
      if (answer == vy::kEventNotSubscribed) continue;  // the subscription went away meanwhile
      break;  // refused: keep the order, try again next poll
    }
    Statement st = connection.prepare("DELETE FROM vy_event WHERE id = ?1");
    st.bindInt(1, event.id);
    st.run();
    delivered++;
  }
  return delivered;
}
