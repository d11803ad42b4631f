// A connector library written as an author would write one, whose behaviour tests script through
// the agent's configuration properties:
//   Test.InitResult          the result of init (default 0)
//   Test.PollResult          the result of pollForEvents (default 0)
//   Test.Version             the text of getVersion (default "9.9.9"; "<null>" answers null)
//   Test.Throw.<slot>        what the slot throws: "int" (7), "negative" (-2), "string" (a
//                            const char*), "chars" (a char*), "nulltext" (a null const char*),
//                            "stdstring" (a std::string), "long", "unsigned", "double",
//                            "runtime" (std::runtime_error), "derived" (a class derived from
//                            std::logic_error), "emptywhat" (a std::exception with an empty
//                            what()), "object" (a plain struct)
//                            (slots: init, poll, terminate, getVersion, suspend, resume, verb,
//                            handler = getBOHandlerforBO)
//   Test.Verb.Result         the result of every doVerbFor (default 1)
//   Test.Verb.Error          an error text doVerbFor puts on the status
//   Test.Verb.SetAttr        "index=value[;index=value...]": doVerbFor sets those simple
//                            attributes
//   Test.Verb.SetAttrFor.<verb>  as Test.Verb.SetAttr, for requests of that verb only
//   Test.Verb.CopyAttr       "from=to": doVerbFor copies simple attribute `from` into `to`
//   Test.Verb.ErrorFromAttr  an attribute index: its text becomes the error text
//   Test.Verb.ResultFor.<verb>  the result for requests of that verb (before the others)
//   Test.Verb.ResultFromAttr an attribute index: its text (atoi) is the result, unless a
//                            ResultFor.<verb> applies
//   Test.Verb.Record         "true": each request is logged (no severity) as
//                            "Test.Verb.Seen <verb> delta=<0|1> <v0>|<v1>|..." with
//                            "<ignore>" for ignored and "<object>" for object attributes
//   Test.Verb.Throw          as Test.Throw.verb
//   Test.Verb.Grow           a count: doVerbFor makes attribute 1 a text of that many characters
//   Test.Verb.HandlerLog     any value: the handler logs "Test.Verb.HandlerLog" through its own
//                            BOHandlerCPP services
//   Test.NoHandler           "true": getBOHandlerforBO answers null
//   Test.Subs.Throwing       "true": init installs a subscription handler of its own whose
//                            subscribeTo, isSubscribed and cancelSub throw
// It counts what the framework called, for tests to read through the exported C functions below.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "VyConnector.hpp"

int vyTestRaiseEvents();

namespace inventory {

// An author's own exception class.
class StockError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class Silent : public std::exception {
 public:
  const char* what() const noexcept override { return ""; }
};

}  // namespace inventory

namespace {

std::string prop(const char* name) {
  char buf[512];
  buf[0] = '\0';
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr) return std::string();
  v->getConfigProp(name, buf, sizeof buf);
  return buf;
}

struct Thrown {
  int code;
};

void maybeThrow(const char* slot) {
  std::string kind = prop((std::string("Test.Throw.") + slot).c_str());
  if (kind == "int") throw 7;
  if (kind == "negative") throw -2;
  if (kind == "string") throw "connector string failure";
  if (kind == "chars") {
    static char text[] = "connector char* failure";
    throw static_cast<char*>(text);
  }
  if (kind == "nulltext") throw static_cast<const char*>(nullptr);
  if (kind == "stdstring") throw std::string("connector std::string failure");
  if (kind == "long") throw 123456789012L;
  if (kind == "unsigned") throw 42u;
  if (kind == "double") throw 2.5;
  if (kind == "runtime") throw std::runtime_error("connector runtime failure");
  if (kind == "derived") throw inventory::StockError("no stock for item 12");
  if (kind == "emptywhat") throw inventory::Silent();
  if (kind == "object") throw Thrown{3};
}

std::atomic<int> gCalls[8];
enum Slot { kInit, kPoll, kTerminate, kVersion, kSuspend, kResume, kVerb, kHandler };

class TestHandler : public BOHandlerCPP {
 public:
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override;
};

TestHandler gHandler;

// A connector's own subscription handler that fails.
class ThrowingSubs : public SubscriptionHandlerCPP {
 public:
  int subscribeTo(char*, char*) override { throw std::runtime_error("no subscriptions today"); }
  int cancelSub(char*, char*, char*) override { throw std::runtime_error("no cancel today"); }
  int isSubscribed(char*, char*) override { throw std::runtime_error("no lookups today"); }
};

class TestGlobals : public GenGlobals {
 public:
  BOHandlerCPP* getBOHandlerforBO(char*) override {
    ++gCalls[kHandler];
    maybeThrow("handler");
    if (prop("Test.NoHandler") == "true") return nullptr;
    return &gHandler;
  }
  int init(KyVersion*) override {
    ++gCalls[kInit];
    maybeThrow("init");
    if (prop("Test.Subs.Throwing") == "true") {
      JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
      SubscriptionHandlerCPP* old = v->getTheSubHandler();
      v->setTheSubHandler(new ThrowingSubs());
      delete old;
    }
    std::string r = prop("Test.InitResult");
    return r.empty() ? 0 : std::atoi(r.c_str());
  }
  int pollForEvents() override {
    ++gCalls[kPoll];
    maybeThrow("poll");
    vyTestRaiseEvents();  // TestEvents.cpp: events and synchronous requests, if scripted
    std::string r = prop("Test.PollResult");
    return r.empty() ? 0 : std::atoi(r.c_str());
  }
  int terminate() override {
    ++gCalls[kTerminate];
    maybeThrow("terminate");
    return 0;
  }
  char* getVersion() override {
    ++gCalls[kVersion];
    maybeThrow("getVersion");
    static thread_local std::string version;
    version = prop("Test.Version");
    if (version.empty()) version = "9.9.9";
    if (version == "<null>") return nullptr;
    return const_cast<char*>(version.c_str());
  }
  void suspend() override {
    ++gCalls[kSuspend];
    maybeThrow("suspend");
  }
  void resume() override {
    ++gCalls[kResume];
    maybeThrow("resume");
  }
};

TestGlobals gGlobals;

}  // namespace

// Defined in the handler file, which grows with the model.
int vyTestHandlerDoVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status);

int TestHandler::doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) {
  ++gCalls[kVerb];
  maybeThrow("verb");
  // The handler's own services go through the subscription handler it was linked to.
  char own[8];
  if (getConfigProp("Test.Verb.HandlerLog", own, sizeof own) > 0) logMsg("Test.Verb.HandlerLog", 0);
  return vyTestHandlerDoVerbFor(bo, status);
}

extern "C" __attribute__((visibility("default"))) int vyTestConnectorCalls(int slot) {
  return gCalls[slot].load();
}

extern "C" __attribute__((visibility("default"))) void vyTestConnectorReset() {
  for (auto& c : gCalls) c = 0;
}

// Registers the connector's globals again (tests that remove it put it back with this).
extern "C" __attribute__((visibility("default"))) void vyTestConnectorRegister() {
  JToCPPVeneer::setTheAppGlob(&gGlobals);
}
