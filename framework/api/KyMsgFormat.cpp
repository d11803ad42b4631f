#include "KyMsgFormat.hpp"

#include <cstdlib>
#include <cstring>

#include "AgentLog.hpp"

KyMsgFormat::~KyMsgFormat() { std::free(msg); }

void KyMsgFormat::packArgs(char* out, int size, int argCount, va_list args) {
  vy::packArgs(out, size, argCount, args);
}

char* KyMsgFormat::generateMsg(int msgNum, int msgType, const char* text, int argCount,
                               va_list args) {
  return generateMsg(msgNum, msgType, text, 0, argCount, args);
}

char* KyMsgFormat::generateMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                               va_list args) {
  return vy::formatMsg(msgNum, msgType, text, msgSet, argCount, args);
}
