// The events and synchronous requests of the test connector, raised from pollForEvents and
// scripted through the agent's configuration properties (read once per poll):
//   Test.Events.Count    events raised by each pollForEvents (default 0: none)
//   Test.Events.Type     type name of the event objects (default "Customer")
//   Test.Events.Verb     their verb (default "Create"; "none" leaves them without a verb)
//   Test.Events.Values   "v1,v2,...": texts for the object's simple attributes, in order
//   Test.Events.Grow     a count: the second simple attribute of every event and synchronous
//                        request becomes a text of that many characters
//   Test.Events.Thread   "native": raised from a thread of the connector's own, which ends
//                        before pollForEvents returns; otherwise from the polling thread
//   Test.Sync.Collab     when set, each pollForEvents also sends one such object to this
//                        collaboration with GenGlobals::consumeSync ("null" sends a null name);
//                        the status sent is Test.Sync.Status ("status,text"; default 0 and none)
//   Test.Sync.Count      requests made by each pollForEvents when Test.Sync.Collab is set
//                        (default 1); the last one is recorded
// Tests read what happened through the exported functions at the end of this file.
//
// Besides, a stream (vyTestStreamStart) raises numbered events from a thread of the connector's
// own until stopped, whatever the agent does meanwhile (terminate, init again): each goes
// through the exported CallJavaForAppEvent, which finds the running connector itself.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "VyConnector.hpp"

namespace {

struct Script {
  int count = 0;
  std::string type = "Customer";
  std::string verb = "Create";
  std::vector<std::string> values;
  size_t grow = 0;
  bool nativeThread = false;
  bool sync = false;
  int syncCount = 1;
  std::string collab;
  int syncStatus = 0;
  std::string syncError;
};

struct Record {
  std::mutex lock;
  int raised = 0;
  long answerSum = 0;
  int lastAnswer = 0;
  std::u16string lastWire;
  int syncResult = 0;
  int syncStatus = 0;
  std::string syncError;
  bool syncHasError = false;
  std::u16string syncWire;
  std::string syncVerb;
};

Record gRecord;

std::string prop(JToCPPVeneer* v, const char* name) {
  char buf[1024];
  buf[0] = '\0';
  v->getConfigProp(name, buf, sizeof buf);
  return buf;
}

Script readScript(JToCPPVeneer* v) {
  Script s;
  std::string count = prop(v, "Test.Events.Count");
  if (!count.empty()) s.count = std::atoi(count.c_str());
  std::string type = prop(v, "Test.Events.Type");
  if (!type.empty()) s.type = type;
  std::string verb = prop(v, "Test.Events.Verb");
  if (!verb.empty()) s.verb = verb;
  std::stringstream values(prop(v, "Test.Events.Values"));
  for (std::string item; std::getline(values, item, ',');) s.values.push_back(item);
  s.grow = std::strtoul(prop(v, "Test.Events.Grow").c_str(), nullptr, 10);
  s.nativeThread = prop(v, "Test.Events.Thread") == "native";
  s.collab = prop(v, "Test.Sync.Collab");
  s.sync = !s.collab.empty();
  std::string syncCount = prop(v, "Test.Sync.Count");
  if (!syncCount.empty()) s.syncCount = std::atoi(syncCount.c_str());
  std::string status = prop(v, "Test.Sync.Status");
  if (!status.empty()) {
    s.syncStatus = std::atoi(status.c_str());
    size_t comma = status.find(',');
    if (comma != std::string::npos) s.syncError = status.substr(comma + 1);
  }
  return s;
}

BusinessObject* makeObject(const Script& s) {
  BusinessObject* bo = new BusinessObject(s.type.c_str());
  if (s.verb != "none") bo->setVerb(s.verb.c_str());
  size_t next = 0;
  int simple = 0;
  for (int i = 0; i < bo->getAttrCount(); ++i) {
    int type = bo->getAttrType(i);
    if (type < 1 || type > 7) continue;
    if (simple++ == 1 && s.grow > 0)
      bo->setAttrValue(i, std::string(s.grow, 'e').c_str(), type);
    else if (next < s.values.size())
      bo->setAttrValue(i, s.values[next++].c_str(), type);
  }
  return bo;
}

std::u16string wireOf(BusinessObject& bo) {
  StringMessage* m = bo.toStringMessage();
  std::u16string out(reinterpret_cast<const char16_t*>(m->toUTF16String()),
                     m->getCurrentUTF16Size());
  delete m;
  return out;
}

void raise(const Script& s) {
  SubscriptionHandlerCPP* handler = JToCPPVeneer::getTheHandlerStuff()->getTheSubHandler();
  for (int i = 0; i < s.count; ++i) {
    BusinessObject* bo = makeObject(s);
    int answer = handler->gotApplEvent(*bo);
    std::lock_guard<std::mutex> guard(gRecord.lock);
    ++gRecord.raised;
    gRecord.answerSum += answer;
    gRecord.lastAnswer = answer;
    if (i == s.count - 1) gRecord.lastWire = wireOf(*bo);
    delete bo;
  }
  if (!s.sync) return;
  char* collab = s.collab == "null" ? nullptr : const_cast<char*>(s.collab.c_str());
  for (int i = 0; i < s.syncCount; ++i) {
    BusinessObject* bo = makeObject(s);
    ReturnStatusDescriptor status(s.syncStatus,
                                  s.syncError.empty() ? nullptr : s.syncError.c_str());
    int result = JToCPPVeneer::getTheAppGlob()->consumeSync(collab, *bo, status);
    std::lock_guard<std::mutex> guard(gRecord.lock);
    gRecord.syncResult = result;
    gRecord.syncStatus = status.getStatus();
    gRecord.syncHasError = status.getErrorMsg() != nullptr;
    gRecord.syncError = gRecord.syncHasError ? status.getErrorMsg() : "";
    gRecord.syncWire = wireOf(*bo);
    gRecord.syncVerb = bo->getVerb() != nullptr ? bo->getVerb() : "";
    delete bo;
  }
}

}  // namespace

// Called by pollForEvents.
int vyTestRaiseEvents() {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr) return 0;
  Script s = readScript(v);
  if (s.count <= 0 && !s.sync) return 0;
  if (s.nativeThread) {
    std::thread([&s] { raise(s); }).join();
  } else {
    raise(s);
  }
  return 0;
}

#define VY_TEST_EXPORT extern "C" __attribute__((visibility("default")))

VY_TEST_EXPORT void vyTestEventsReset() {
  std::lock_guard<std::mutex> guard(gRecord.lock);
  gRecord.raised = 0;
  gRecord.answerSum = 0;
  gRecord.lastAnswer = 0;
  gRecord.lastWire.clear();
  gRecord.syncResult = 0;
  gRecord.syncStatus = 0;
  gRecord.syncError.clear();
  gRecord.syncHasError = false;
  gRecord.syncWire.clear();
  gRecord.syncVerb.clear();
}

VY_TEST_EXPORT int vyTestEventsRaised() { return gRecord.raised; }
VY_TEST_EXPORT long vyTestEventsAnswerSum() { return gRecord.answerSum; }
VY_TEST_EXPORT int vyTestEventsLastAnswer() { return gRecord.lastAnswer; }
// The wire text of the last event object after it was raised (event ids included).
VY_TEST_EXPORT const char16_t* vyTestEventsLastWire(int* length) {
  *length = static_cast<int>(gRecord.lastWire.size());
  return gRecord.lastWire.c_str();
}
VY_TEST_EXPORT int vyTestSyncResult() { return gRecord.syncResult; }
VY_TEST_EXPORT int vyTestSyncStatus() { return gRecord.syncStatus; }

// The last synchronous request's status and whether it came with a text, read together (other
// threads may be polling meanwhile).
VY_TEST_EXPORT int vyTestSyncOutcome(int* hasText) {
  std::lock_guard<std::mutex> guard(gRecord.lock);
  *hasText = gRecord.syncHasError && !gRecord.syncError.empty() ? 1 : 0;
  return gRecord.syncStatus;
}
// The status text after consumeSync, or null when there was none.
VY_TEST_EXPORT const char* vyTestSyncError() {
  return gRecord.syncHasError ? gRecord.syncError.c_str() : nullptr;
}
// The wire text and verb of the connector's object after consumeSync.
VY_TEST_EXPORT const char16_t* vyTestSyncObject(int* length) {
  *length = static_cast<int>(gRecord.syncWire.size());
  return gRecord.syncWire.c_str();
}
VY_TEST_EXPORT const char* vyTestSyncVerb() { return gRecord.syncVerb.c_str(); }

// ---- the event stream ----
namespace {

struct Stream {
  std::mutex lock;           // guards answers
  std::vector<int> answers;  // by sequence number
  std::atomic<long> next{0};
  std::atomic<long> completed{0};
  std::atomic<bool> stop{false};
  std::thread thread;
};

Stream gStream;

}  // namespace

// Starts the stream: events of `type` with verb Create whose attribute 0 is "ev#<n>#".
VY_TEST_EXPORT void vyTestStreamStart(const char* type) {
  std::string name = type;
  gStream.stop = false;
  gStream.next = 0;
  gStream.completed = 0;
  gStream.answers.clear();
  gStream.thread = std::thread([name] {
    while (!gStream.stop.load()) {
      long n = gStream.next.load();
      BusinessObject bo(name.c_str());
      bo.setVerb("Create");
      bo.setAttrValue(0, ("ev#" + std::to_string(n) + "#").c_str(), 5);
      gStream.next.store(n + 1);  // from here on, event n is being raised
      int answer = CallJavaForAppEvent(&bo);
      {
        std::lock_guard<std::mutex> guard(gStream.lock);
        gStream.answers.push_back(answer);
      }
      gStream.completed.store(n + 1);  // event n has been answered
      JToCPPVeneer::traceWrite(Tracing::LEVEL5, "stream event raised", nullptr);
    }
  });
}

// The number the next event will carry: every event numbered from it on is raised after this
// call returns.
VY_TEST_EXPORT long vyTestStreamNext() { return gStream.next.load(); }
// The count of events answered so far (each numbered below it).
VY_TEST_EXPORT long vyTestStreamCompleted() { return gStream.completed.load(); }
// The connector's answer for event `n` (0 when not answered yet).
VY_TEST_EXPORT int vyTestStreamAnswer(long n) {
  std::lock_guard<std::mutex> guard(gStream.lock);
  return n >= 0 && n < static_cast<long>(gStream.answers.size()) ? gStream.answers[n] : 0;
}
// Stops the stream and waits for its thread; returns the count of events raised.
VY_TEST_EXPORT long vyTestStreamStop() {
  gStream.stop = true;
  if (gStream.thread.joinable()) gStream.thread.join();
  return gStream.completed.load();
}
