#include "KyMsgFormat.hpp"

#include <cstdlib>
#include <cstring>

#include "BusObjNativeImpl.hpp"

KyMsgFormat::~KyMsgFormat() { std::free(msg); }

void KyMsgFormat::packArgs(char* out, int size, int argCount, va_list args) {
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

char* KyMsgFormat::generateMsg(int msgNum, int msgType, const char* text, int argCount,
                               va_list args) {
  return generateMsg(msgNum, msgType, text, 0, argCount, args);
}

char* KyMsgFormat::generateMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                               va_list args) {
  char packed[PACK_BUFFER_SIZE];
  va_list copy;
  va_copy(copy, args);
  packArgs(packed, sizeof packed, argCount, copy);
  va_end(copy);
  return CallJavaForMsgFormat(msgNum, msgType, text, msgSet, argCount, packed);
}
