// The calls from the native side into the agent, exported with C linkage under their plain names.
// The veneer, and through it GenGlobals, BOHandlerCPP, Tracing, KyMsgFormat and the business
// object model, reach the agent only through these functions.
//
// Any thread may call them: a thread that is not attached to the JVM attaches itself on first use
// (and is detached when it ends). Every local reference made here is released before return, so a
// native thread may call back millions of times. A Java exception left by the agent is described
// and cleared, never propagated. Texts passed in stay the caller's; returned texts are documented
// per function.
#ifndef VY_BUS_OBJ_NATIVE_IMPL_HPP
#define VY_BUS_OBJ_NATIVE_IMPL_HPP

#include "VyExport.hpp"

class Tracing;
class BusinessObject;
class StringMessage;
class ReturnStatusDescriptor;

// Size of the trace line buffers of the native bridge (lines may be longer; they are then
// built at the length they need).
static const int MSGBUFSIZE = 5120;

// Copies the property into `value` (capacity `size`), cut to size - 1 characters; returns the
// number stored, 0 when absent (value is then empty).
VY_C_EXPORT int CallJavaForgetConfigProp(const char* name, char* value, int size);
// Stores the agent's delta-support answer for the type into `answer` (10 bytes).
VY_C_EXPORT void CallJavaForDeltaSupport(const char* objectName, char* answer);
VY_C_EXPORT void CallJavaForlogMsg(const char* msg);
VY_C_EXPORT void CallJavaForlogMsgSeverity(const char* msg, int severity);
VY_C_EXPORT void CallJavaForTraceWrite(Tracing* tracing, int level, const char* msg,
                                       const char* text2);
// A new native text (malloc) that the caller frees; args are the packed parameters.
VY_C_EXPORT char* CallJavaForMsgFormat(int msgNum, int msgType, const char* text, int msgSet,
                                       int argCount, const char* args);
// A new StringMessage of the agent's collaboration names; the caller owns it.
VY_C_EXPORT StringMessage* CallJavaForGetCollabNames();
VY_C_EXPORT int CallJavaForIsAgentCapableOfPolling();
// The agent's answers, asked once per process; the texts live until the process ends.
VY_C_EXPORT const char* CallJavaForGetEncoding();
VY_C_EXPORT const char* CallJavaForGetLocale();
// Delivers an event when its name and verb are subscribed: the agent's answer, else -10.
VY_C_EXPORT int CallJavaForAppEvent(BusinessObject* bo);
VY_C_EXPORT void CallJavaForConsumeSync(const char* name, BusinessObject& bo,
                                        ReturnStatusDescriptor& status);
VY_C_EXPORT void BusObjNativeImplTraceMsg(const char* msg);
VY_C_EXPORT void BusObjNativeImplTraceBO(const char* method, BusinessObject* bo);

#endif  // VY_BUS_OBJ_NATIVE_IMPL_HPP
