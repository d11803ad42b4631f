#include "SubscriptionHandlerCPP.hpp"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "BusinessObject.hpp"
#include "JToCPPVeneer.hpp"
#include "Tracing.hpp"
#include "hash_iter.hpp"

namespace {

const char kEveryVerb[] = "*";

// A null verb stands for every verb.
const char* orEveryVerb(const char* verb) { return verb == nullptr ? kEveryVerb : verb; }

// The entries of a set in set order, read with an independent cursor so that the set's built-in
// one (which connector subclasses may use) is never moved.
std::vector<SubscribedVerb*> entriesOf(const PtrSet<SubscribedVerb>& set) {
  std::vector<SubscribedVerb*> entries;
  entries.reserve(set.size());
  for (hash_iter it(set); !it.atEnd(); it.advance()) {
    entries.push_back(PtrSet<SubscribedVerb>::pointerOf(it.current()));
  }
  return entries;
}

// The first entry in set order for which `match` holds, or null.
template <typename Match>
SubscribedVerb* firstEntry(const PtrSet<SubscribedVerb>& set, Match match) {
  for (hash_iter it(set); !it.atEnd(); it.advance()) {
    SubscribedVerb* entry = PtrSet<SubscribedVerb>::pointerOf(it.current());
    if (entry != nullptr && match(entry)) return entry;
  }
  return nullptr;
}

}  // namespace

SubscriptionHandlerCPP::SubscriptionHandlerCPP()
    : theJavaVeneer(nullptr), table(HashTbl::DEFAULT_SIZE) {}

SubscriptionHandlerCPP::~SubscriptionHandlerCPP() {
  {
    std::lock_guard<std::mutex> guard(lock);
    // Collect first: removing names moves entries under the table's own cursor.
    std::vector<StringHash> names;
    for (hash_iter it(table); !it.atEnd(); it.advance()) {
      const DictSlot* slot = static_cast<const DictSlot*>(it.current());
      names.push_back(*static_cast<const StringHash*>(slot->getKey()));
    }
    for (const StringHash& name : names) {
      PtrSet<SubscribedVerb>* set = getSubListLocked(name);
      if (set == nullptr) continue;
      std::vector<SubscribedVerb*> entries = entriesOf(*set);
      if (entries.empty()) {
        table.remove(name);
        delete set;
      }
      for (SubscribedVerb* entry : entries) {
        removeSubListLocked(name, entry);  // destroys the set with its last entry
        delete entry;
      }
    }
  }
  if (theJavaVeneer != nullptr && theJavaVeneer->getTheSubHandler() == this) {
    theJavaVeneer->setTheSubHandler(nullptr);
  }
  theJavaVeneer = nullptr;
}

// ---- tracing ----

void SubscriptionHandlerCPP::traceCall(const char* operation, const char* name, const char* verb,
                                       const int* perf) {
  JToCPPVeneer* veneer = theJavaVeneer;
  if (veneer == nullptr || !veneer->isTracing(Tracing::LEVEL5)) return;
  std::string line =
      std::string("SubscriptionHandlerCPP::") + operation + " call for Object named: " + name;
  if (verb != nullptr) line.append(" verb: ").append(verb);
  if (perf != nullptr) line.append(", perf=").append(std::to_string(*perf));
  veneer->traceWrite(Tracing::LEVEL5, line.c_str(), nullptr);
}

// ---- public operations ----

int SubscriptionHandlerCPP::subscribeTo(char* name, char* verb) {
  if (name == nullptr) return -1;
  traceCall("subscribeTo", name, verb, nullptr);
  return addSubscriberToList(name, verb);
}

int SubscriptionHandlerCPP::subscribeTo(char* name, char* verb, int perf) {
  if (name == nullptr) return -1;
  traceCall("subscribeTo", name, verb, &perf);
  return addSubscriberToList(name, verb, perf);
}

int SubscriptionHandlerCPP::cancelSub(char* name, char* /*version*/, char* verb) {
  if (name == nullptr) return -1;
  traceCall("cancelSub", name, nullptr, nullptr);
  return removeSubscriberFromList(name, verb);
}

int SubscriptionHandlerCPP::gotApplEvent(BusinessObject& bo) {
  bo.setObjectEventIds();
  JToCPPVeneer* veneer =
      theJavaVeneer != nullptr ? theJavaVeneer : JToCPPVeneer::getTheHandlerStuff();
  if (veneer == nullptr) return -1;
  return veneer->gotEvent(bo);
}

int SubscriptionHandlerCPP::isSubscribed(char* name, char* verb) {
  std::lock_guard<std::mutex> guard(lock);
  return isSubscribedLocked(name, verb);
}

int SubscriptionHandlerCPP::updateSub(char* name, char* /*version*/, char* verb, int perf) {
  if (name == nullptr) return -1;
  const char* wanted = orEveryVerb(verb);
  std::lock_guard<std::mutex> guard(lock);
  PtrSet<SubscribedVerb>* set = getSubListLocked(StringHash(name));
  SubscribedVerb* entry = set == nullptr ? nullptr : firstEntry(*set, [wanted](SubscribedVerb* e) {
    return std::strcmp(e->getVerb(), wanted) == 0;
  });
  if (entry == nullptr) return addSubscriberLocked(name, wanted, perf) < 0 ? -1 : 0;
  entry->setPerf(perf);
  return 0;
}

int SubscriptionHandlerCPP::getPerf(const char* name) {
  if (name == nullptr || *name == '\0') return -1;
  std::lock_guard<std::mutex> guard(lock);
  PtrSet<SubscribedVerb>* set = getSubListLocked(StringHash(name));
  if (set == nullptr) return -1;
  SubscribedVerb* first = firstEntry(*set, [](SubscribedVerb*) { return true; });
  if (first == nullptr) return -1;
  return first->getPerf() < 0 ? 0 : first->getPerf();
}

void SubscriptionHandlerCPP::setTheJavaVeneer(JToCPPVeneer* veneer) {
  if (theJavaVeneer != nullptr && theJavaVeneer->getTheSubHandler() == this) {
    theJavaVeneer->setTheSubHandler(nullptr);  // also clears our link
  }
  theJavaVeneer = nullptr;
  if (veneer != nullptr) veneer->setTheSubHandler(this);  // links us back to it
  theJavaVeneer = veneer;
}

void SubscriptionHandlerCPP::removeTheJavaVeneer() {
  if (theJavaVeneer != nullptr && theJavaVeneer->getTheSubHandler() == this) {
    theJavaVeneer->setTheSubHandler(nullptr);
  }
  theJavaVeneer = nullptr;
}

// ---- protected helpers: each takes the lock ----

int SubscriptionHandlerCPP::addSubscriberToList(char* name, char* verb, int perf) {
  if (name == nullptr) return -1;
  const char* wanted = orEveryVerb(verb);
  // An empty verb would make an entry that no event can match and that SubscribedVerb refuses.
  if (*wanted == '\0') return -1;
  // The duplicate check is the virtual isSubscribed, so a connector's own subscription handler
  // decides what counts as subscribed already.
  if (isSubscribed(name, const_cast<char*>(wanted)) == 1) return 0;
  std::lock_guard<std::mutex> guard(lock);
  addSubListLocked(StringHash(name), new SubscribedVerb(wanted, perf));
  return 0;
}

int SubscriptionHandlerCPP::addSubscriberToList(char* name, char* verb) {
  return addSubscriberToList(name, verb, 0);
}

int SubscriptionHandlerCPP::removeSubscriberFromList(char* name, char* verb) {
  std::lock_guard<std::mutex> guard(lock);
  return removeSubscriberLocked(name, verb);
}

void SubscriptionHandlerCPP::addSubList(const StringHash& nameKey, SubscribedVerb* entry) {
  std::lock_guard<std::mutex> guard(lock);
  addSubListLocked(nameKey, entry);
}

void SubscriptionHandlerCPP::removeSubList(const StringHash& nameKey, SubscribedVerb* entry) {
  std::lock_guard<std::mutex> guard(lock);
  removeSubListLocked(nameKey, entry);
}

PtrSet<SubscribedVerb>* SubscriptionHandlerCPP::getSubList(const StringHash& nameKey) {
  std::lock_guard<std::mutex> guard(lock);
  return getSubListLocked(nameKey);
}

// ---- the unlocked forms ----

int SubscriptionHandlerCPP::isSubscribedLocked(const char* name, const char* verb) const {
  if (name == nullptr || verb == nullptr) return 0;
  PtrSet<SubscribedVerb>* set = getSubListLocked(StringHash(name));
  if (set == nullptr) return 0;
  return firstEntry(*set,
                    [verb](SubscribedVerb* e) {
                      return std::strcmp(e->getVerb(), verb) == 0 ||
                             std::strcmp(e->getVerb(), kEveryVerb) == 0;
                    }) != nullptr
             ? 1
             : 0;
}

int SubscriptionHandlerCPP::addSubscriberLocked(const char* name, const char* verb, int perf) {
  if (name == nullptr) return -1;
  const char* wanted = orEveryVerb(verb);
  // An empty verb would make an entry that no event can match and that SubscribedVerb refuses.
  if (*wanted == '\0') return -1;
  // An existing subscription keeps its perf; after "*" a specific verb adds nothing.
  if (isSubscribedLocked(name, wanted) == 1) return 0;
  addSubListLocked(StringHash(name), new SubscribedVerb(wanted, perf));
  return 0;
}

int SubscriptionHandlerCPP::removeSubscriberLocked(const char* name, const char* verb) {
  if (name == nullptr) return -1;
  const StringHash nameKey(name);
  PtrSet<SubscribedVerb>* set = getSubListLocked(nameKey);
  if (set == nullptr) return -1;
  if (verb == nullptr) {
    for (SubscribedVerb* entry : entriesOf(*set)) {
      removeSubListLocked(nameKey, entry);
      delete entry;
    }
    return 0;
  }
  SubscribedVerb* entry =
      firstEntry(*set, [verb](SubscribedVerb* e) { return std::strcmp(e->getVerb(), verb) == 0; });
  if (entry == nullptr) return -1;
  removeSubListLocked(nameKey, entry);
  delete entry;
  return 0;
}

void SubscriptionHandlerCPP::addSubListLocked(const StringHash& nameKey, SubscribedVerb* entry) {
  PtrSet<SubscribedVerb>* set = getSubListLocked(nameKey);
  if (set == nullptr) {
    set = new PtrSet<SubscribedVerb>(HashTbl::DEFAULT_SIZE);
    table.set(new StringHash(nameKey), set);
  }
  set->add(entry);
}

void SubscriptionHandlerCPP::removeSubListLocked(const StringHash& nameKey, SubscribedVerb* entry) {
  PtrSet<SubscribedVerb>* set = getSubListLocked(nameKey);
  if (set == nullptr) return;
  set->remove(entry);
  // A name whose last subscription goes leaves the table, so names come and go without growing
  // the registry.
  if (set->size() == 0) {
    table.remove(nameKey);
    delete set;
  }
}

PtrSet<SubscribedVerb>* SubscriptionHandlerCPP::getSubListLocked(const StringHash& nameKey) const {
  return static_cast<PtrSet<SubscribedVerb>*>(table.get(nameKey));
}
