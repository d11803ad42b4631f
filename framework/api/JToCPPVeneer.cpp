// The veneer: the running connector's framework-side collaborators, lifecycle routing with
// performance timing, verbs, spec announcements, subscriptions and the agent services, all on
// the agent port (no JNI here, so a veneer also runs in a process without a JVM).
#include "JToCPPVeneer.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "AgentLog.hpp"
#include "AgentPort.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "EventRoute.hpp"
#include "GenGlobals.hpp"
#include "KyMsgFormat.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"
#include "PerfRecord.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "TextCopy.hpp"
#include "Tracing.hpp"
#include "VeneerLife.hpp"

namespace {

std::atomic<JToCPPVeneer*> theHandlerStuff{nullptr};
std::atomic<GenGlobals*> theAppGlobPtr{nullptr};

// Flows are shared by every thread that runs a timed operation; one measurement is recorded at a
// time so start and stop always belong together.
std::mutex gPerfLock;

// A handler keeps a link to the subscription handler of the veneer that filed its spec. When
// that veneer goes, every such link goes with it: a handler served after a restart, before its
// spec is announced again, then reaches the agent through the current veneer instead of freed
// memory.
void unlinkHandlers(BusObjSpecDirectory* dir, SubscriptionHandlerCPP* subs) {
  if (dir == nullptr || subs == nullptr) return;
  dir->forEachOwnedSpec([subs](BusObjSpec& spec) {
    BOHandlerCPP* handler = spec.getMyBOHandler();
    if (handler != nullptr && handler->getTheSubHandler() == subs)
      handler->setTheSubHandler(nullptr);
  });
}

}  // namespace

void vy::recordPerf(KyPerfFlow* flow, long start, long stop) {
  if (flow == nullptr) return;
  std::lock_guard<std::mutex> guard(gPerfLock);
  flow->start = static_cast<int>(start);
  flow->stop = static_cast<int>(stop);
  KyPerfUtil::update(flow);
}

vy::VerbTiming::VerbTiming(JToCPPVeneer* veneer)
    : flow_(veneer != nullptr && KyPerfUtil::getPerf() > 0 ? veneer->perf_doverbfor_ptr : nullptr),
      start_(flow_ != nullptr ? KyTimer::getCurrentMilli() : 0) {}

vy::VerbTiming::~VerbTiming() {
  if (flow_ != nullptr) recordPerf(flow_, start_, KyTimer::getCurrentMilli());
}

// ---- construction ----

JToCPPVeneer::JToCPPVeneer(SubscriptionHandlerCPP* subHandler, GenGlobals*, void* agentObject)
    : perf_init_ptr(nullptr),
      perf_doverbfor_ptr(nullptr),
      perf_poll_ptr(nullptr),
      theDirectory(nullptr),
      theTracing(nullptr),
      theMsgFormat(nullptr),
      theSubHandler(subHandler),
      gblBusObjNativeInterface(agentObject) {
  if (theSubHandler != nullptr) theSubHandler->linkVeneer(this);
  theDirectory = BusObjSpecDirectory::getTheBusObjSpecDirectory();
  theTracing = new Tracing(nullptr);
  theMsgFormat = new KyMsgFormat();
  theHandlerStuff.store(this, std::memory_order_release);
  vy::setCurrentTracing(theTracing);

  char name[512];
  if (getConfigProp("ConnectorName", name, sizeof name) == 0)
    std::strcpy(name, "Generic_Connector");
  theTracing->setName(vy::copyText(name));
  theTracing->readLevelFromAgent();

  char perf[64];
  int perfLevel = getConfigProp("PerfLevel", perf, sizeof perf) > 0 ? std::atoi(perf) : 0;
  KyPerfUtil::setPerf(perfLevel);
  perf_init_ptr = KyPerfUtil::createPerfFlow(String(name), String("init"));
  perf_doverbfor_ptr = KyPerfUtil::createPerfFlow(String(name), String("doverbfor"));
  perf_poll_ptr = KyPerfUtil::createPerfFlow(String(name), String("poll"));
}

JToCPPVeneer::~JToCPPVeneer() {
  if (theSubHandler != nullptr) {
    unlinkHandlers(theDirectory, theSubHandler);
    BusObjSpecDirectory* global = BusObjSpecDirectory::getTheBusObjSpecDirectory();
    if (global != theDirectory) unlinkHandlers(global, theSubHandler);
    theSubHandler->linkVeneer(nullptr);
    delete theSubHandler;
    theSubHandler = nullptr;
  }
  JToCPPVeneer* self = this;
  if (theHandlerStuff.compare_exchange_strong(self, nullptr)) vy::setCurrentTracing(nullptr);
  delete theTracing;
  delete theMsgFormat;
  // The registry may still list the flows until the next report: they leave it first.
  for (KyPerfFlow* flow : {perf_init_ptr, perf_doverbfor_ptr, perf_poll_ptr}) {
    KyPerfUtil::forget(flow);
    delete flow;
  }
}

void JToCPPVeneer::setTheTracing(Tracing* t) {
  theTracing = t;
  if (theHandlerStuff.load(std::memory_order_acquire) == this) vy::setCurrentTracing(t);
}

void JToCPPVeneer::setTheSubHandler(SubscriptionHandlerCPP* handler) {
  if (theSubHandler != nullptr) theSubHandler->linkVeneer(nullptr);
  theSubHandler = handler;
  if (handler != nullptr) handler->linkVeneer(this);
}

void JToCPPVeneer::setTheAppGlob(GenGlobals* globals) {
  theAppGlobPtr.store(globals, std::memory_order_release);
}

GenGlobals* JToCPPVeneer::getTheAppGlob() { return theAppGlobPtr.load(std::memory_order_acquire); }

JToCPPVeneer* JToCPPVeneer::getTheHandlerStuff() {
  return theHandlerStuff.load(std::memory_order_acquire);
}

// ---- lifecycle ----

int JToCPPVeneer::init(KyVersion* version) {
  GenGlobals* app = getTheAppGlob();
  if (app == nullptr) return -1;
  bool timed = KyPerfUtil::getPerf() > 0;
  long start = timed ? KyTimer::getCurrentMilli() : 0;
  int result = app->init(version);
  if (timed) vy::recordPerf(perf_init_ptr, start, KyTimer::getCurrentMilli());
  if (theSubHandler == nullptr) setTheSubHandler(new SubscriptionHandlerCPP());
  if (theDirectory == nullptr) theDirectory = BusObjSpecDirectory::getTheBusObjSpecDirectory();
  return result;
}

int JToCPPVeneer::terminate() {
  GenGlobals* app = getTheAppGlob();
  return app ? app->terminate() : -1;
}

int JToCPPVeneer::poll() {
  GenGlobals* app = getTheAppGlob();
  if (app == nullptr) return -1;
  bool timed = KyPerfUtil::getPerf() > 0;
  long start = timed ? KyTimer::getCurrentMilli() : 0;
  int result = app->pollForEvents();
  if (timed) vy::recordPerf(perf_poll_ptr, start, KyTimer::getCurrentMilli());
  return result;
}

char* JToCPPVeneer::getVersion() {
  GenGlobals* app = getTheAppGlob();
  return app ? app->getVersion() : nullptr;
}

void JToCPPVeneer::suspend() {
  GenGlobals* app = getTheAppGlob();
  if (app != nullptr) app->suspend();
}

void JToCPPVeneer::resume() {
  GenGlobals* app = getTheAppGlob();
  if (app != nullptr) app->resume();
}

// ---- verbs and specs ----

int JToCPPVeneer::doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) {
  if (isTracing(Tracing::LEVEL4)) {
    std::string line = std::string("JToCPPVeneer::doVerbFor call for Object named: ") +
                       (bo.getName() ? bo.getName() : "");
    traceWrite(Tracing::LEVEL4, line.c_str(), nullptr);
  }
  BusObjSpec* spec = bo.getSpecFor();
  BOHandlerCPP* handler = spec ? spec->getMyBOHandler() : nullptr;
  if (handler == nullptr) return -1;
  vy::VerbTiming timing(this);
  return handler->doVerbFor(bo, status);
}

void JToCPPVeneer::newBusObjSpec(char* specText) {
  std::unique_ptr<BusObjSpec> spec;
  {
    StringMessage msg(specText);
    spec.reset(new BusObjSpec(msg));
  }
  if (spec->getParseError() != nullptr) {
    // A malformed text is never filed: business objects keep the spec they had, if any.
    std::string line = "Business object spec not filed: ";
    line += spec->getParseError();
    const char* name = spec->getName();
    if (name != nullptr && *name != '\0') {
      line += " (spec ";
      line += name;
      line += ")";
    }
    line += ".";
    logMsg(line.c_str(), KyMsgFormat::MLV_ERROR);
    return;
  }
  GenGlobals* app = getTheAppGlob();
  // A type the connector has no handler for is filed all the same; a verb on it is refused
  // when it arrives.
  BOHandlerCPP* handler = app != nullptr ? app->getBOHandlerforBO(spec->getName()) : nullptr;
  if (handler != nullptr) handler->setTheSubHandler(theSubHandler);
  spec->setMyBOHandler(handler);
  BusObjSpecDirectory* dir =
      theDirectory != nullptr ? theDirectory : BusObjSpecDirectory::getTheBusObjSpecDirectory();
  dir->insert(*spec.release());
}

// ---- subscriptions and events ----

int JToCPPVeneer::isSubscribed(char* boName, char* verb) {
  return theSubHandler == nullptr ? 0 : theSubHandler->isSubscribed(boName, verb);
}

int JToCPPVeneer::subscribeTo(char* boName, char* verb, int perf) {
  return theSubHandler == nullptr ? -1 : theSubHandler->subscribeTo(boName, verb, perf);
}

int JToCPPVeneer::cancelSub(char* boName, char* version, char* verb) {
  return theSubHandler == nullptr ? -1 : theSubHandler->cancelSub(boName, version, verb);
}

int JToCPPVeneer::gotEvent(BusinessObject& bo) { return vy::raiseEvent(bo); }

int vy::raiseEvent(BusinessObject& bo) {
  // The veneer (its subscriptions and agent object) stays until the event is handed over, even
  // while the agent terminates the connector on another thread.
  vy::VeneerUse use;
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  char* name = bo.getName();
  char* verb = bo.getVerb();
  if (veneer == nullptr || veneer->isSubscribed(name, verb) != 1) {
    // Nobody subscribes: the agent hears of the event only as message 80008.
    char* text = vy::formatKyMsg(80008, KyMsgFormat::MLV_INFO, nullptr, 2,
                                 name != nullptr ? name : "null", verb != nullptr ? verb : "null");
    vy::logText(text, 0);
    std::free(text);
    return -10;
  }
  return vy::agentPort().deliverEvent(bo);
}

int JToCPPVeneer::consumeSync(char* collabName, BusinessObject& bo,
                              ReturnStatusDescriptor& status) {
  vy::agentPort().consumeSync(collabName, bo, status);
  // The agent's verdict is the status it put in its bucket.
  return status.getStatus();
}

StringMessage* JToCPPVeneer::getCollabNames() { return vy::agentPort().collabNames(); }

int JToCPPVeneer::isAgentCapableOfPolling() { return vy::agentPort().canPoll() ? 1 : 0; }

// ---- agent services ----

int JToCPPVeneer::getConfigProp(const char* name, char* value, int size) {
  return vy::agentPort().configProp(name, value, size);
}

int JToCPPVeneer::getDeltaSupport(const char* boName) {
  return vy::agentPort().deltaSupport(boName) ? 1 : 0;
}

void JToCPPVeneer::logMsg(const char* msg) {
  if (msg != nullptr) vy::agentPort().log(msg, -1);
}

void JToCPPVeneer::logMsg(const char* msg, int msgType) {
  if (msg == nullptr) return;
  if (vy::isFatalType(msgType)) vy::keepFirstFatal(msg);
  vy::agentPort().log(msg, msgType);
}

// Static: connector code may call these through a veneer pointer that is null (before n_init,
// after n_terminate); they then find no tracing and do nothing.
void JToCPPVeneer::traceWrite(int level, const char* msg, const char* text2) {
  vy::traceLine(level, msg, text2);
}

bool JToCPPVeneer::isTracing(int level) const {
  return theTracing != nullptr && theTracing->getTraceLevel() > Tracing::LEVEL0 &&
         theTracing->isTracing(level);
}

char* JToCPPVeneer::generateMsg(int msgNum, int msgType, const char* text, int argCount,
                                va_list args) {
  return vy::formatMsg(msgNum, msgType, text, 0, argCount, args);
}

char* JToCPPVeneer::generateKyMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* out = vy::formatMsg(msgNum, msgType, text, 1, argCount, args);
  va_end(args);
  return out;
}

void JToCPPVeneer::generateAndLogMsg(int msgNum, int msgType, int argCount, va_list args) {
  char* msg = vy::formatMsg(msgNum, msgType, nullptr, 0, argCount, args);
  if (msgType == 0)
    logMsg(msg);
  else
    logMsg(msg, msgType);
  freeMemory(msg);
}

void JToCPPVeneer::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount,
                                       va_list args) {
  Tracing* tracing = vy::currentTracing();
  if (tracing == nullptr || traceLevel > tracing->getTraceLevel()) return;
  char* msg = vy::formatMsg(msgNum, msgType, nullptr, 0, argCount, args);
  tracing->write(traceLevel, msg, nullptr);
  std::free(msg);
}

void JToCPPVeneer::setTraceLevel(int level) {
  if (theTracing != nullptr) theTracing->setTraceLevel(level);
}

void JToCPPVeneer::freeMemory(char* p) { std::free(p); }

void JToCPPVeneer::setfatalErrorFirstMessage(const char* msg) { vy::keepFirstFatal(msg); }

char* JToCPPVeneer::getfatalErrorFirstMessage() { return vy::firstFatal(); }

void JToCPPVeneer::deletefatalErrorFirstMessage() { vy::clearFirstFatal(); }
