#include "PgEventPoller.hpp"

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ObjectStore.hpp"
#include "PgError.hpp"
#include "PgSchema.hpp"
#include "PgTransaction.hpp"

namespace {

struct Event {
  std::string id, type, verb, key;
  bool waits;  // an earlier event of the object is held elsewhere
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

// Claims the oldest pending events of the kinds asked for ($1 types and $2 verbs, two arrays of
// the same length), skipping those another poll holds. Each comes with a flag: true when an
// earlier event of the same object and of those kinds is pending outside this claim (held by
// another agent's poll, or locked by a writer that has not committed), so it must wait.
const char* const kClaim =
    "WITH kinds AS (SELECT * FROM unnest($1::text[], $2::text[]) AS k(type, verb)),"
    " claimed AS MATERIALIZED (SELECT id, type, verb, key FROM vy_event"
    " WHERE (type, verb) IN (SELECT type, verb FROM kinds)"
    " ORDER BY id LIMIT $3 FOR UPDATE SKIP LOCKED)"
    " SELECT c.id, c.type, c.verb, c.key, EXISTS (SELECT 1 FROM vy_event p"
    " WHERE p.type = c.type AND p.key = c.key AND p.id < c.id"
    " AND p.id NOT IN (SELECT id FROM claimed)"
    " AND (p.type, p.verb) IN (SELECT type, verb FROM kinds)) FROM claimed c ORDER BY c.id";

// The texts of a JSON array of strings as array_to_json writes the keys: "\\", "\"" and the
// control characters escaped, everything else as it is. False for anything else.
bool keyTexts(const std::string& json, std::vector<std::string>* out) {
  size_t i = 0;
  auto skip = [&] {
    while (i < json.size() && (json[i] == ' ' || json[i] == '\n' || json[i] == '\t')) i++;
  };
  skip();
  if (i >= json.size() || json[i++] != '[') return false;
  skip();
  if (i < json.size() && json[i] == ']') return true;
  while (i < json.size()) {
    if (json[i++] != '"') return false;
    std::string text;
    while (i < json.size() && json[i] != '"') {
      char c = json[i++];
      if (c != '\\') {
        text += c;
        continue;
      }
      if (i >= json.size()) return false;
      char e = json[i++];
      switch (e) {
        case 'b':
          text += '\b';
          break;
        case 'f':
          text += '\f';
          break;
        case 'n':
          text += '\n';
          break;
        case 'r':
          text += '\r';
          break;
        case 't':
          text += '\t';
          break;
        case 'u': {
          // Only control characters come escaped this way; they are one byte in UTF-8.
          if (i + 4 > json.size()) return false;
          unsigned long code = std::strtoul(json.substr(i, 4).c_str(), nullptr, 16);
          if (code >= 0x80) return false;
          text += static_cast<char>(code);
          i += 4;
          break;
        }
        default:
          text += e;
          break;  // " \ /
      }
    }
    if (i++ >= json.size()) return false;
    out->push_back(text);
    skip();
    if (i < json.size() && json[i] == ']') return true;
    if (i >= json.size() || json[i++] != ',') return false;
    skip();
  }
  return false;
}

// The event's object: keys from the event, and for "Create" and "Update" the current tree. Null
// for a type the agent has not announced (yet).
std::unique_ptr<BusinessObject> eventObject(PgConnection& connection, PgSchema& schema,
                                            const Event& event) {
  if (vy::findSpec(event.type) == nullptr) return nullptr;
  std::unique_ptr<BusinessObject> bo = vy::makeObject(event.type);
  const TableMapping& m = schema.mappingFor(bo->getTheSpec());
  std::vector<std::string> keys;
  if (!keyTexts(event.key, &keys)) {
    throw PgError("the event's key " + event.key + " is not a JSON array of texts");
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

// The kinds (type, verb) of the pending events that somebody subscribes to.
void subscribedKinds(PgConnection& c, std::vector<std::string>* types,
                     std::vector<std::string>* verbs) {
  std::unique_ptr<SqlStatement> st = c.statement("SELECT DISTINCT type, verb FROM vy_event");
  while (st->step()) {
    std::string type = st->text(0), verb = st->text(1);
    if (vy::isSubscribed(type, verb) == 1) {
      types->push_back(type);
      verbs->push_back(verb);
    }
  }
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
  // Which kinds of pending event somebody wants; the others stay where they are. A connection
  // found dead here (the server restarted since the last poll) is remade once: nothing was
  // claimed yet.
  std::vector<std::string> types, verbs;
  try {
    subscribedKinds(*connection, &types, &verbs);
  } catch (const PgError& e) {
    if (!e.connectionLost()) throw;
    types.clear();
    verbs.clear();
    connection = std::make_unique<PgConnection>(options);
    subscribedKinds(*connection, &types, &verbs);
  }
  PgConnection& c = *connection;
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
    while (st->step()) {
      events.push_back({st->text(0), st->text(1), st->text(2), st->text(3), st->text(4) == "t"});
    }
  }

  std::vector<std::string> taken;
  std::string failure;
  // Objects whose events wait this poll out: one that waits holds back the later ones too.
  std::set<std::pair<std::string, std::string>> waiting;
  bool saved = false;
  for (const Event& event : events) {
    if (event.waits || waiting.count({event.type, event.key}) != 0) {
      waiting.emplace(event.type, event.key);
      continue;
    }
    std::unique_ptr<BusinessObject> bo;
    // After a savepoint (the previous event's released in the same round trip): a tree that
    // cannot be read ends the poll, and the events taken so far stay taken.
    c.exec(saved ? "RELEASE SAVEPOINT vy_read; SAVEPOINT vy_read" : "SAVEPOINT vy_read");
    saved = true;
    try {
      bo = eventObject(c, schema, event);
    } catch (const std::exception& e) {
      const PgError* error = dynamic_cast<const PgError*>(&e);
      if (error != nullptr && error->connectionLost()) throw;
      failure = e.what();
      c.exec("ROLLBACK TO SAVEPOINT vy_read");
      break;
    }
    if (bo == nullptr) {
      waiting.emplace(event.type, event.key);  // a type the agent has not announced (yet)
      continue;
    }
    int answer = vy::raiseEvent(*bo, event.verb);
    if (answer < 0) {
      if (answer == vy::kEventNotSubscribed) {
        waiting.emplace(event.type, event.key);  // the subscription went away meanwhile
        continue;
      }
      break;  // refused: keep the order, try again next poll
    }
    taken.push_back(event.id);
  }
  if (!taken.empty()) {
    // The events the agent took go in one statement, with the commit of the claim.
    std::unique_ptr<SqlStatement> st =
        c.statement("DELETE FROM vy_event WHERE id = ANY($1::bigint[])");
    st->bindText(1, textArray(taken));
    st->run();
  }
  transaction.commit();
  if (!failure.empty()) throw PgError("reading the object of an event failed: " + failure);
  return static_cast<int>(taken.size());
}
