// Hands the agent the application events that the tables' triggers recorded in the event
// table, oldest first.
//
// Each poll looks only at pending events whose type and verb somebody subscribes to, so an
// unsubscribed event neither blocks the ones behind it nor is lost: it stays pending until a
// subscription arrives. A "Create" or "Update" event is delivered as the object's current tree
// read from the database (or, when the object has been deleted since, as an object holding only
// its keys); a "Delete" event as an object holding its keys. An event is marked taken while it
// is being delivered and removed once the agent has accepted it (an answer other than a
// negative one); an unsubscribed answer (-10) or a refusal puts it back, and a refusal ends the
// poll so that the order holds.
//
// Ownership: refers to the globals' pool and schema. Failures throw SqliteError. Threads: polls
// are serialised; verbs on other threads go on meanwhile.
#ifndef SQLITE_CONNECTOR_EVENT_POLLER_HPP
#define SQLITE_CONNECTOR_EVENT_POLLER_HPP

#include <atomic>
#include <mutex>

class ConnectionPool;
class Schema;
class SqliteConnection;

class EventPoller {
 public:
  static const int DEFAULT_QUANTITY = 25;

  EventPoller(ConnectionPool& pool, Schema& schema) : pool(pool), schema(schema) {}

  // Events per poll; values below 1 give the default.
  void setQuantity(int quantity);
  // A new run: events a previous run handed out but never saw taken are pending again, from
  // the next requeueTaken() or, failing that, the next poll.
  void restart() { requeue = true; }
  void requeueTaken(SqliteConnection& connection);
  // Delivers up to the quantity of pending, subscribed events; returns how many the agent took.
  int poll();

 private:
  ConnectionPool& pool;
  Schema& schema;
  std::atomic<int> quantity{DEFAULT_QUANTITY};
  std::atomic<bool> requeue{true};
  std::mutex pollLock;
};

#endif  // SQLITE_CONNECTOR_EVENT_POLLER_HPP
