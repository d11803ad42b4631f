// The agent services GenGlobals and BOHandlerCPP offer connector code, written once: each takes
// the veneer to go through (null when no connector runs: the service then answers as an absent
// agent does) and does what the veneer's operation of the same name does.
#ifndef VY_SERVICE_FORWARDING_HPP
#define VY_SERVICE_FORWARDING_HPP

#include <cstdarg>

class JToCPPVeneer;

namespace vy {
namespace services {

// The property into `value` (empty when there is none or no connector runs); its length.
int getConfigProp(JToCPPVeneer* v, const char* name, char* value, int size);
int getDeltaSupport(JToCPPVeneer* v, const char* boName);
void logMsg(JToCPPVeneer* v, const char* msg);
void logMsg(JToCPPVeneer* v, const char* msg, int msgType);
void traceWrite(JToCPPVeneer* v, int level, const char* msg, const char* text2);
// Null when no connector runs.
char* generateMsg(JToCPPVeneer* v, int msgNum, int msgType, const char* text, int argCount,
                  va_list args);
void generateAndLogMsg(JToCPPVeneer* v, int msgNum, int msgType, int argCount, va_list args);
void generateAndTraceMsg(JToCPPVeneer* v, int msgNum, int msgType, int traceLevel, int argCount,
                         va_list args);

}  // namespace services
}  // namespace vy

#endif  // VY_SERVICE_FORWARDING_HPP
