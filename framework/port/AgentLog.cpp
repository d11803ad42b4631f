#include "AgentLog.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "AgentPort.hpp"
#include "KyMsgFormat.hpp"
#include "TextCopy.hpp"
#include "Tracing.hpp"
#include "VeneerLife.hpp"

namespace vy {

namespace {

struct FirstFatal {
  char* text = nullptr;
  ~FirstFatal() { std::free(text); }
};
thread_local FirstFatal tFirstFatal;

std::atomic<Tracing*> gTracing{nullptr};

}  // namespace

bool isFatalType(int msgType) {
  return msgType == KyMsgFormat::MLV_UNKNOWN || msgType == KyMsgFormat::MLV_FATAL ||
         msgType == KyMsgFormat::MLV_ERROR;
}

void keepFirstFatal(const char* msg) {
  if (tFirstFatal.text != nullptr || msg == nullptr) return;
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char stamp[128];
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S.xxx: ", &local);
  tFirstFatal.text = copyText(std::string(stamp) + msg);
}

char* firstFatal() { return tFirstFatal.text; }

void clearFirstFatal() {
  std::free(tFirstFatal.text);
  tFirstFatal.text = nullptr;
}

void packArgs(char* out, int size, int argCount, va_list args) {
  if (out == nullptr || size <= 0) return;
  int used = 0;
  out[0] = '\0';
  // Parameters that do not fit are cut at the buffer's end: the packed text never overflows.
  for (int i = 0; i < argCount; ++i) {
    const char* p = va_arg(args, const char*);
    if (p == nullptr) p = "";
    size_t len = std::strlen(p);
    size_t room = static_cast<size_t>(size - 1 - used);
    if (len > room) len = room;
    std::memcpy(out + used, p, len);
    used += static_cast<int>(len);
    if (used < size - 1) out[used++] = ',';
    out[used] = '\0';
  }
  if (used > 0 && out[used - 1] == ',') out[--used] = '\0';
}

char* formatMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount, va_list args) {
  char packed[KyMsgFormat::PACK_BUFFER_SIZE];
  va_list copy;
  va_copy(copy, args);
  packArgs(packed, sizeof packed, argCount, copy);
  va_end(copy);
  return agentPort().formatMsg(msgNum, msgType, text, msgSet, argCount, packed);
}

char* formatKyMsg(int msgNum, int msgType, const char* text, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* out = formatMsg(msgNum, msgType, text, 1, argCount, args);
  va_end(args);
  return out;
}

void logText(const char* msg, int msgType) {
  if (msg == nullptr) return;
  if (msgType == 0) {
    agentPort().log(msg, -1);
    return;
  }
  if (isFatalType(msgType)) keepFirstFatal(msg);
  agentPort().log(msg, msgType);
}

void logKyMsg(int msgNum, int msgType, int argCount, ...) {
  va_list args;
  va_start(args, argCount);
  char* text = formatMsg(msgNum, msgType, nullptr, 1, argCount, args);
  va_end(args);
  logText(text, msgType);
  std::free(text);
}

void setCurrentTracing(Tracing* tracing) { gTracing.store(tracing, std::memory_order_release); }

Tracing* currentTracing() { return gTracing.load(std::memory_order_acquire); }

bool traceOn(int level) {
  VeneerUse use;
  Tracing* t = currentTracing();
  return t != nullptr && t->getTraceLevel() > Tracing::LEVEL0 && t->isTracing(level);
}

void traceLine(int level, const char* msg, const char* text2) {
  VeneerUse use;  // the veneer's tracing is not deleted while this thread writes through it
  Tracing* t = currentTracing();
  if (t != nullptr) t->write(level, msg, text2);
}

}  // namespace vy
