#include "ServiceForwarding.hpp"

#include "JToCPPVeneer.hpp"

namespace vy {
namespace services {

int getConfigProp(JToCPPVeneer* v, const char* name, char* value, int size) {
  if (v == nullptr) {
    if (value != nullptr && size > 0) value[0] = '\0';
    return 0;
  }
  return v->getConfigProp(name, value, size);
}

int getDeltaSupport(JToCPPVeneer* v, const char* boName) {
  return v != nullptr ? v->getDeltaSupport(boName) : 0;
}

void logMsg(JToCPPVeneer* v, const char* msg) {
  if (v != nullptr) v->logMsg(msg);
}

void logMsg(JToCPPVeneer* v, const char* msg, int msgType) {
  if (v != nullptr) v->logMsg(msg, msgType);
}

void traceWrite(JToCPPVeneer* v, int level, const char* msg, const char* text2) {
  if (v != nullptr) JToCPPVeneer::traceWrite(level, msg, text2);
}

char* generateMsg(JToCPPVeneer* v, int msgNum, int msgType, const char* text, int argCount,
                  va_list args) {
  return v != nullptr ? v->generateMsg(msgNum, msgType, text, argCount, args) : nullptr;
}

void generateAndLogMsg(JToCPPVeneer* v, int msgNum, int msgType, int argCount, va_list args) {
  if (v != nullptr) v->generateAndLogMsg(msgNum, msgType, argCount, args);
}

void generateAndTraceMsg(JToCPPVeneer* v, int msgNum, int msgType, int traceLevel, int argCount,
                         va_list args) {
  if (v != nullptr) JToCPPVeneer::generateAndTraceMsg(msgNum, msgType, traceLevel, argCount, args);
}

}  // namespace services
}  // namespace vy
