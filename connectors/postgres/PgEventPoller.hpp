// Hands the agent the application events that the tables' trigger recorded in vy_event, so that
// several agents polling one database at once each get different events and every event is
// delivered once.
//
// A poll runs in one transaction on the poller's own connection. It claims up to "PollQuantity"
// pending events of the kinds (type, verb) somebody subscribes to, oldest first, with
// SELECT ... FOR UPDATE SKIP LOCKED: events another agent's poll has claimed are skipped, and an
// event of an object whose earlier event is claimed elsewhere waits (held, not delivered) until
// that one is gone, so one object's events come in order whichever agent takes them. Each event is
// delivered as the object's current tree (for "Create" and "Update"; as its keys alone when the
// object is gone, and for "Delete") and deleted in the same transaction once the agent took it (an
// answer that is not negative). An unsubscribed answer (-10) leaves it pending; a refusal leaves it
// pending and ends the poll. The transaction commits at the end of the poll, so an agent that dies
// while it holds claimed events loses none: the server rolls back and the events are pending again
// (an event delivered in that poll is then delivered again: at least once, never lost).
//
// Ownership: refers to the globals' schema and owns its connection. Failures throw PgError.
// Threads: polls are serialised; verbs on other threads go on meanwhile.
#ifndef PG_CONNECTOR_PG_EVENT_POLLER_HPP
#define PG_CONNECTOR_PG_EVENT_POLLER_HPP

#include <atomic>
#include <memory>
#include <mutex>

#include "PgConnection.hpp"

class PgSchema;

class PgEventPoller {
 public:
  static const int DEFAULT_QUANTITY = 25;

  explicit PgEventPoller(PgSchema& schema) : schema(schema) {}

  // Events per poll; values below 1 give the default.
  void setQuantity(int quantity);
  // Polls from now on connect with `options`; the connection of earlier polls is closed.
  void open(const PgConnection::Options& options);
  void close();
  // Delivers up to the quantity of pending, subscribed events; returns how many the agent took.
  int poll();

 private:
  PgSchema& schema;
  std::atomic<int> quantity{DEFAULT_QUANTITY};
  std::mutex pollLock;
  PgConnection::Options options;
  std::unique_ptr<PgConnection> connection;
};

#endif  // PG_CONNECTOR_PG_EVENT_POLLER_HPP
