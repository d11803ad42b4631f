// The framework's own use of the agent port: numbered messages formatted and logged, the first
// fatal message of each thread, and trace lines through the running connector's tracing. The
// model, the connector API and the bridge all log and trace through these, never on their own.
#ifndef VY_AGENT_LOG_HPP
#define VY_AGENT_LOG_HPP

#include <cstdarg>

#include "VyExport.hpp"

class Tracing;

namespace vy {

// MLV_UNKNOWN, MLV_FATAL and MLV_ERROR: kept as the first fatal message when logged.
bool isFatalType(int msgType);

// The calling thread's first fatal message, stamped "%Y/%m/%d %H:%M:%S.xxx: "; kept until
// cleared. keepFirstFatal does nothing when one is kept already.
void keepFirstFatal(const char* msg);
char* firstFatal();
void clearFirstFatal();

// Packs argCount texts from `args` as "a,b,c" into `out` (capacity `size`), cut to fit.
void packArgs(char* out, int size, int argCount, va_list args);

// A message formatted by the agent (malloc, never null): set 0 is the connector's, 1 the
// framework's; `args` holds argCount texts.
char* formatMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount, va_list args);
// The same with the texts as variable arguments, in the framework's set.
char* formatKyMsg(int msgNum, int msgType, const char* text, int argCount, ...);

// Logs `msg`: a type of 0 without a severity; fatal types are also kept as the first fatal.
void logText(const char* msg, int msgType);
// Formats a framework message (texts as variable arguments) and logs it with `msgType`.
VY_EXPORT void logKyMsg(int msgNum, int msgType, int argCount, ...);

// The running connector's tracing (the veneer sets and clears it).
void setCurrentTracing(Tracing* tracing);
Tracing* currentTracing();
// True when a line of `level` would be written.
bool traceOn(int level);
// Writes a trace line when `level` is on; does nothing without a running connector.
void traceLine(int level, const char* msg, const char* text2 = nullptr);

}  // namespace vy

#endif  // VY_AGENT_LOG_HPP
