#include "GenGlobals.hpp"

#include <cstdarg>
#include <cstdlib>

#include "AgentPort.hpp"
#include "JToCPPVeneer.hpp"
#include "ServiceForwarding.hpp"

// Constructing the connector's one static object is its registration with the framework.
GenGlobals::GenGlobals() { JToCPPVeneer::setTheAppGlob(this); }

// An object that goes away must not stay registered: the framework would call into freed memory
// if an entry point ran during the library's teardown.
GenGlobals::~GenGlobals() {
  if (JToCPPVeneer::getTheAppGlob() == this) JToCPPVeneer::setTheAppGlob(nullptr);
}

namespace {
JToCPPVeneer* veneer() { return JToCPPVeneer::getTheHandlerStuff(); }
}  // namespace

int GenGlobals::getConfigProp(const char* name, char* value, int size) {
  return vy::services::getConfigProp(veneer(), name, value, size);
}

int GenGlobals::getDeltaSupport(const char* boName) {
  return vy::services::getDeltaSupport(veneer(), boName);
}

void GenGlobals::logMsg(const char* msg) { vy::services::logMsg(veneer(), msg); }

void GenGlobals::logMsg(const char* msg, int msgType) {
  vy::services::logMsg(veneer(), msg, msgType);
}

void GenGlobals::traceWrite(int level, const char* msg, const char* text2) {
  vy::services::traceWrite(veneer(), level, msg, text2);
}

char* GenGlobals::generateMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* out = vy::services::generateMsg(veneer(), msgNum, msgType, text, argCount, args);
  va_end(args);
  return out;
}

void GenGlobals::generateAndLogMsg(int msgNum, int msgType, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  vy::services::generateAndLogMsg(veneer(), msgNum, msgType, argCount, args);
  va_end(args);
}

void GenGlobals::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  vy::services::generateAndTraceMsg(veneer(), msgNum, msgType, traceLevel, argCount, args);
  va_end(args);
}

void GenGlobals::freeMemory(char* text) { std::free(text); }

SubscriptionHandlerCPP* GenGlobals::getTheSubHandler() {
  JToCPPVeneer* v = veneer();
  return v ? v->getTheSubHandler() : nullptr;
}

StringMessage* GenGlobals::getCollabNames() {
  JToCPPVeneer* v = veneer();
  return v ? v->getCollabNames() : nullptr;
}

int GenGlobals::isAgentCapableOfPolling() {
  JToCPPVeneer* v = veneer();
  return v ? v->isAgentCapableOfPolling() : 0;
}

char* GenGlobals::getEncoding() const { return const_cast<char*>(vy::agentPort().encoding()); }

char* GenGlobals::getLocale() const { return const_cast<char*>(vy::agentPort().locale()); }

int GenGlobals::consumeSync(char* collabName, BusinessObject& bo, ReturnStatusDescriptor& status) {
  if (collabName == nullptr) return -1;
  JToCPPVeneer* v = veneer();
  if (v == nullptr) return -1;
  return v->consumeSync(collabName, bo, status);
}

int GenGlobals::executeCollaboration(char* collabName, BusinessObject& bo,
                                     ReturnStatusDescriptor& status) {
  return consumeSync(collabName, bo, status);
}
