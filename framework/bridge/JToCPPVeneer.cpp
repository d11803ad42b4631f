#include "JToCPPVeneer.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "BusObjNativeImpl.hpp"
#include "BusObjSpecDirectory.hpp"
#include "GenGlobals.hpp"
#include "KyMsgFormat.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "Tracing.hpp"

namespace {

std::atomic<JToCPPVeneer*> theHandlerStuff{nullptr};
std::atomic<GenGlobals*> theAppGlobPtr{nullptr};

// The first fatal message of each thread, freed when the thread ends.
struct FirstFatal {
  char* text = nullptr;
  ~FirstFatal() { std::free(text); }
};
thread_local FirstFatal tFirstFatal;

// Flows are shared by every thread that runs a timed operation; one measurement is recorded at a
// time so start and stop always belong together.
std::mutex gPerfLock;

bool isFatalType(int msgType) {
  return msgType == KyMsgFormat::MLV_UNKNOWN || msgType == KyMsgFormat::MLV_FATAL ||
         msgType == KyMsgFormat::MLV_ERROR;
}

char* copyText(const std::string& s) {
  char* out = static_cast<char*>(std::malloc(s.size() + 1));
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

}  // namespace

// Records one measurement of a shared flow (used by every timed veneer operation).
void vyRecordPerf(KyPerfFlow* flow, long start, long stop) {
  if (flow == nullptr) return;
  std::lock_guard<std::mutex> guard(gPerfLock);
  flow->start = static_cast<int>(start);
  flow->stop = static_cast<int>(stop);
  KyPerfUtil::update(flow);
}

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

  char name[512];
  if (getConfigProp("ConnectorName", name, sizeof name) == 0)
    std::strcpy(name, "Generic_Connector");
  theTracing->setName(copyText(name));
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
    theSubHandler->linkVeneer(nullptr);
    delete theSubHandler;
    theSubHandler = nullptr;
  }
  JToCPPVeneer* self = this;
  theHandlerStuff.compare_exchange_strong(self, nullptr);
  delete theTracing;
  delete theMsgFormat;
  // The registry may still list the flows until the next report: they leave it first.
  for (KyPerfFlow* flow : {perf_init_ptr, perf_doverbfor_ptr, perf_poll_ptr}) {
    KyPerfUtil::forget(flow);
    delete flow;
  }
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

int JToCPPVeneer::init(KyVersion* version) {
  GenGlobals* app = getTheAppGlob();
  if (app == nullptr) return -1;
  bool timed = KyPerfUtil::getPerf() > 0;
  long start = timed ? KyTimer::getCurrentMilli() : 0;
  int result = app->init(version);
  if (timed) vyRecordPerf(perf_init_ptr, start, KyTimer::getCurrentMilli());
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
  if (timed) vyRecordPerf(perf_poll_ptr, start, KyTimer::getCurrentMilli());
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

StringMessage* JToCPPVeneer::getCollabNames() { return CallJavaForGetCollabNames(); }

int JToCPPVeneer::isAgentCapableOfPolling() { return CallJavaForIsAgentCapableOfPolling(); }

int JToCPPVeneer::getConfigProp(const char* name, char* value, int size) {
  return CallJavaForgetConfigProp(name, value, size);
}

int JToCPPVeneer::getDeltaSupport(const char* boName) {
  char answer[10];
  CallJavaForDeltaSupport(boName, answer);
  return std::strcmp(answer, "true") == 0 ? 1 : 0;
}

void JToCPPVeneer::logMsg(const char* msg) { CallJavaForlogMsg(msg); }

void JToCPPVeneer::logMsg(const char* msg, int msgType) {
  if (isFatalType(msgType)) setfatalErrorFirstMessage(msg);
  CallJavaForlogMsgSeverity(msg, msgType);
}

void JToCPPVeneer::traceWrite(int level, const char* msg, const char* text2) {
  if (theTracing != nullptr) theTracing->write(level, msg, text2);
}

bool JToCPPVeneer::isTracing(int level) const {
  return theTracing != nullptr && theTracing->getTraceLevel() > Tracing::LEVEL0 &&
         theTracing->isTracing(level);
}

char* JToCPPVeneer::generateMsg(int msgNum, int msgType, const char* text, int argCount,
                                va_list args) {
  return theMsgFormat->generateMsg(msgNum, msgType, text, 0, argCount, args);
}

char* JToCPPVeneer::generateKyMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* out = theMsgFormat->generateMsg(msgNum, msgType, text, 1, argCount, args);
  va_end(args);
  return out;
}

void JToCPPVeneer::generateAndLogMsg(int msgNum, int msgType, int argCount, va_list args) {
  char* msg = theMsgFormat->generateMsg(msgNum, msgType, nullptr, 0, argCount, args);
  if (msgType == 0) {
    logMsg(msg);
  } else {
    if (isFatalType(msgType)) setfatalErrorFirstMessage(msg);
    CallJavaForlogMsgSeverity(msg, msgType);
  }
  freeMemory(msg);
}

void JToCPPVeneer::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount,
                                       va_list args) {
  if (theTracing == nullptr) return;
  if (traceLevel > theTracing->getTraceLevel()) return;
  char* msg = theMsgFormat->generateMsg(msgNum, msgType, nullptr, 0, argCount, args);
  theTracing->write(traceLevel, msg, nullptr);
  freeMemory(msg);
}

void JToCPPVeneer::setTraceLevel(int level) {
  if (theTracing != nullptr) theTracing->setTraceLevel(level);
}

void JToCPPVeneer::freeMemory(char* p) { std::free(p); }

void JToCPPVeneer::setfatalErrorFirstMessage(const char* msg) {
  if (tFirstFatal.text != nullptr || msg == nullptr) return;
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char stamp[128];
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S.xxx: ", &local);
  tFirstFatal.text = copyText(std::string(stamp) + msg);
}

char* JToCPPVeneer::getfatalErrorFirstMessage() { return tFirstFatal.text; }

void JToCPPVeneer::deletefatalErrorFirstMessage() {
  std::free(tFirstFatal.text);
  tFirstFatal.text = nullptr;
}
