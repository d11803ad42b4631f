// Message types and the packing of message parameters into the one text the agent's message
// formatter takes: the parameters joined by "," in order, no trailing comma, empty for none.
// Packed parameters are cut to fit 4095 bytes; a longer parameter list never overflows.
//
// Ownership: generateMsg returns a new text (malloc) that the caller frees (JToCPPVeneer::
// freeMemory or free()). Threads: any thread.
#ifndef VY_KY_MSG_FORMAT_HPP
#define VY_KY_MSG_FORMAT_HPP

#include <cstdarg>

#include "VyExport.hpp"

class VY_EXPORT KyMsgFormat {
 public:
  static constexpr int MLV_UNKNOWN = -1;
  static constexpr int MLV_WARNING = 1;
  static constexpr int MLV_INT_WARNING = 2;
  static constexpr int MLV_INT_INFO = 3;
  static constexpr int MLV_TRACE = 4;
  static constexpr int MLV_INFO = 5;
  static constexpr int MLV_ERROR = 6;
  static constexpr int MLV_FATAL = 7;
  static constexpr int MLV_INT_ERROR = 8;
  static constexpr int MLV_INT_FATAL = 9;

  // Size of the parameter packing buffer, terminator included.
  static constexpr int PACK_BUFFER_SIZE = 4096;

  KyMsgFormat() : msg(nullptr) {}
  ~KyMsgFormat();
  KyMsgFormat(const KyMsgFormat&) = delete;
  KyMsgFormat& operator=(const KyMsgFormat&) = delete;

  char* getMsg() const { return msg; }
  void setMsg(char* m) { msg = m; }

  // The connector's message set (0).
  char* generateMsg(int msgNum, int msgType, const char* text, int argCount, va_list args);
  // `args` holds argCount texts (const char*); a null text packs as empty.
  char* generateMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                    va_list args);

  // Packs argCount texts from `args` into `out` (capacity `size` > 0), cut to fit.
  static void packArgs(char* out, int size, int argCount, va_list args);

 private:
  char* msg;
};

#endif  // VY_KY_MSG_FORMAT_HPP
