#include "BOHandlerCPP.hpp"

#include <cstdarg>

#include "JToCPPVeneer.hpp"
#include "SubscriptionHandlerCPP.hpp"

BOHandlerCPP::BOHandlerCPP() : name(nullptr), theSubHandler(nullptr) {}

BOHandlerCPP::~BOHandlerCPP() = default;

namespace {
// The veneer through the subscription handler the framework gave this handler; a handler not
// yet registered on a spec uses the current veneer.
JToCPPVeneer* veneerOf(SubscriptionHandlerCPP* subs) {
  JToCPPVeneer* v = subs ? subs->getTheJavaVeneer() : nullptr;
  return v ? v : JToCPPVeneer::getTheHandlerStuff();
}
}  // namespace

int BOHandlerCPP::getConfigProp(const char* propName, char* value, int size) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  if (v == nullptr) {
    if (value != nullptr && size > 0) value[0] = '\0';
    return 0;
  }
  return v->getConfigProp(propName, value, size);
}

int BOHandlerCPP::getDeltaSupport(const char* boName) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  return v ? v->getDeltaSupport(boName) : 0;
}

void BOHandlerCPP::logMsg(const char* msg, int msgType) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  if (v == nullptr) return;
  // A type of 0 is logged without a severity.
  if (msgType == 0)
    v->logMsg(msg);
  else
    v->logMsg(msg, msgType);
}

void BOHandlerCPP::traceWrite(int level, const char* msg, const char* text2) {
  if (JToCPPVeneer* v = veneerOf(theSubHandler)) v->traceWrite(level, msg, text2);
}

char* BOHandlerCPP::generateMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  if (v == nullptr) return nullptr;
  va_list args;
  va_start(args, argCount);
  char* out = v->generateMsg(msgNum, msgType, text, argCount, args);
  va_end(args);
  return out;
}

void BOHandlerCPP::generateAndLogMsg(int msgNum, int msgType, int argCount, ...) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  if (v == nullptr) return;
  va_list args;
  va_start(args, argCount);
  v->generateAndLogMsg(msgNum, msgType, argCount, args);
  va_end(args);
}

void BOHandlerCPP::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...) {
  JToCPPVeneer* v = veneerOf(theSubHandler);
  if (v == nullptr) return;
  va_list args;
  va_start(args, argCount);
  v->generateAndTraceMsg(msgNum, msgType, traceLevel, argCount, args);
  va_end(args);
}
