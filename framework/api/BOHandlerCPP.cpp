#include "BOHandlerCPP.hpp"

#include <cstdarg>

#include "JToCPPVeneer.hpp"
#include "ServiceForwarding.hpp"
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

int BOHandlerCPP::getConfigProp(const char* name, char* value, int size) {
  return vy::services::getConfigProp(veneerOf(theSubHandler), name, value, size);
}

int BOHandlerCPP::getDeltaSupport(const char* boName) {
  return vy::services::getDeltaSupport(veneerOf(theSubHandler), boName);
}

void BOHandlerCPP::logMsg(const char* msg, int msgType) {
  // A type of 0 is logged without a severity.
  if (msgType == 0)
    vy::services::logMsg(veneerOf(theSubHandler), msg);
  else
    vy::services::logMsg(veneerOf(theSubHandler), msg, msgType);
}

void BOHandlerCPP::traceWrite(int level, const char* msg, const char* text2) {
  vy::services::traceWrite(veneerOf(theSubHandler), level, msg, text2);
}

char* BOHandlerCPP::generateMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* out =
      vy::services::generateMsg(veneerOf(theSubHandler), msgNum, msgType, text, argCount, args);
  va_end(args);
  return out;
}

void BOHandlerCPP::generateAndLogMsg(int msgNum, int msgType, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  vy::services::generateAndLogMsg(veneerOf(theSubHandler), msgNum, msgType, argCount, args);
  va_end(args);
}

void BOHandlerCPP::generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  vy::services::generateAndTraceMsg(veneerOf(theSubHandler), msgNum, msgType, traceLevel, argCount,
                                    args);
  va_end(args);
}
