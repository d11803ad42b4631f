// The registry of what the agent subscribes to: for each business object name, the verbs (or
// "*" for every verb) with their perf values. It decides whether an application event may reach
// the agent and forwards the events that may.
//
// One instance per connector, owned by the veneer; the two point at each other. Ownership: the
// handler owns its sets and entries; texts passed in stay the caller's.
// Failures: a null name (subscribeTo, cancelSub, updateSub) or an empty verb is refused with -1
// and changes nothing.
// Threads: the registry is guarded by one mutex; the agent may subscribe and cancel while the
// polling thread raises events. A lookup holds it for a hash probe and a short walk, far less
// than the upcall that delivers an event, and a plain mutex cannot starve the agent's changes
// behind a stream of events the way a reader-preferring lock does. Every public and protected
// operation takes the lock itself; getSubList's set may change once the lock is released, so it is
// for single-threaded subclass code only.
#ifndef VY_SUBSCRIPTION_HANDLER_CPP_HPP
#define VY_SUBSCRIPTION_HANDLER_CPP_HPP

#include <mutex>

#include "GenPtrDict.hpp"
#include "PtrSet.hpp"
#include "StringHash.hpp"
#include "SubscribedVerb.hpp"
#include "VyExport.hpp"

class JToCPPVeneer;
class BusinessObject;

class VY_EXPORT SubscriptionHandlerCPP {
 public:
  SubscriptionHandlerCPP();
  SubscriptionHandlerCPP(const SubscriptionHandlerCPP&) = delete;
  SubscriptionHandlerCPP& operator=(const SubscriptionHandlerCPP&) = delete;

  // A null verb subscribes every verb ("*"). An existing subscription keeps its perf. Returns 0.
  virtual int subscribeTo(char* name, char* verb);
  int subscribeTo(char* name, char* verb, int perf);
  // A null verb cancels every verb of the name; -1 when nothing was subscribed.
  virtual int cancelSub(char* name, char* version, char* verb);
  // Sets the object's event ids, then delivers it: the agent's answer, or -10 when unsubscribed.
  virtual int gotApplEvent(BusinessObject& bo);
  // 1 when the name is subscribed for the verb or for "*"; 0 for a null name or verb.
  virtual int isSubscribed(char* name, char* verb);
  // Virtual, so a connector's subclass is destroyed whole by the veneer; declared after the four
  // operations so they keep the first slots.
  virtual ~SubscriptionHandlerCPP();
  int updateSub(char* name, char* version, char* verb, int perf);
  // The perf of the name's first entry (0 in place of a negative perf); -1 when none.
  int getPerf(const char* name);

  void setTheJavaVeneer(JToCPPVeneer* veneer);
  void removeTheJavaVeneer();
  JToCPPVeneer* getTheJavaVeneer() const { return theJavaVeneer; }
  // Used by the veneer to keep the back link without recursion.
  void linkVeneer(JToCPPVeneer* veneer) { theJavaVeneer = veneer; }

 protected:
  int addSubscriberToList(char* name, char* verb, int perf);
  int addSubscriberToList(char* name, char* verb);
  int removeSubscriberFromList(char* name, char* verb);
  void addSubList(const StringHash& nameKey, SubscribedVerb* entry);
  void removeSubList(const StringHash& nameKey, SubscribedVerb* entry);
  PtrSet<SubscribedVerb>* getSubList(const StringHash& nameKey);

 private:
  // The unlocked forms: each expects the caller to hold `lock`.
  int isSubscribedLocked(const char* name, const char* verb) const;
  int addSubscriberLocked(const char* name, const char* verb, int perf);
  int removeSubscriberLocked(const char* name, const char* verb);
  void addSubListLocked(const StringHash& nameKey, SubscribedVerb* entry);
  void removeSubListLocked(const StringHash& nameKey, SubscribedVerb* entry);
  PtrSet<SubscribedVerb>* getSubListLocked(const StringHash& nameKey) const;
  void traceCall(const char* operation, const char* name, const char* verb, const int* perf);

  JToCPPVeneer* theJavaVeneer;
  GenPtrDict table;
  mutable std::mutex lock;
};

#endif  // VY_SUBSCRIPTION_HANDLER_CPP_HPP
