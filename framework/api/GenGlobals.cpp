#include "GenGlobals.hpp"

#include <cstdarg>
#include <cstdlib>

#include "AgentPort.hpp"
#include "JToCPPVeneer.hpp"

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
  JToCPPVeneer* v = veneer();
  if (v == nullptr) {
    if (value != nullptr && size > 0) value[0] = '\0';
    return 0;
  }
  return v->getConfigProp(name, value, size);
}

int GenGlobals::getDeltaSupport(const char* boName) {
  JToCPPVeneer* v = veneer();
  return v ? v->getDeltaSupport(boName) : 0;
}

void GenGlobals::logMsg(const char* msg) {
  if (JToCPPVeneer* v = veneer()) v->logMsg(msg);
}

void GenGlobals::logMsg(const char* msg, int msgType) {
  if (JToCPPVeneer* v = veneer()) v->logMsg(msg, msgType);
}

void GenGlobals::traceWrite(int level, const char* msg, const char* text2) {
  if (JToCPPVeneer* v = veneer()) v->traceWrite(level, msg, text2);
}

char* GenGlobals::generateMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  JToCPPVeneer* v = veneer();
  if (v == nullptr) return nullptr;
  va_list args;
  va_start(args, argCount);
  char* out = v->generateMsg(msgNum, msgType, text, argCount, args);
  va_end(args);
  return out;
}

void GenGlobals::generateAndLogMsg(int msgNum, int msgType, int argCount, ...) {
  JToCPPVeneer* v = veneer();
  if (v == nullptr) return;
  va_list args;
  va_start(args, argCount);
  v->generateAndLogMsg(msgNum, msgType, argCount, args);
  va_end(args);
}

void GenGlobals::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...) {
  JToCPPVeneer* v = veneer();
  if (v == nullptr) return;
  va_list args;
  va_start(args, argCount);
  v->generateAndTraceMsg(msgNum, msgType, traceLevel, argCount, args);
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
