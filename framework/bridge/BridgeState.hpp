// What the bridge's entry points and callbacks share: the agent object, the environment of a
// callback, Java errors and the text conversions towards the agent. The classes and identifiers
// are the portal's (JniPortal.hpp), set by n_init before any other entry point runs and read
// without locks.
#ifndef VY_BRIDGE_STATE_HPP
#define VY_BRIDGE_STATE_HPP

#include <jni.h>

#include <string>

#include "JniEnv.hpp"
#include "JniPortal.hpp"

class BusinessObject;

// Reports and clears a pending Java exception: the standard-error line, the JVM's description.
extern "C" __attribute__((visibility("default"))) void catchJavaErrors(JNIEnv* env);

namespace vy {

// The veneer's global reference to the agent object; asserts it exists.
jobject agentObject();
// The agent object of the running connector, or null while none runs (before n_init, after
// n_terminate). Callbacks read it under a VeneerUse, so it stays valid until they return.
jobject runningAgent();

// The calling thread's environment for a callback into the agent (attaching the thread when
// needed); stops the process when no JVM exists, which only a broken environment can cause.
JNIEnv* callbackEnv();

// A Java exception the agent threw out of a callback: described and cleared, so the thread may
// go on making JNI calls. True when there was one.
bool clearAgentException(JNIEnv* env);

// Stops the process with "Assertion failed: <what>, file <file>" for a broken environment.
[[noreturn]] void environmentFailure(const char* what, const char* file);

// Makes a Java string from connector text (native encoding), converting it towards the agent;
// falls back to the unconverted bytes (made safe for the JVM) when the conversion fails.
// Returns a local reference (null for a null text).
jstring toJavaText(JNIEnv* env, const char* text);
// Makes a Java string from an identifier-like text (names, indents, version texts): ASCII goes
// straight to the JVM, anything else is converted as toJavaText does. Null for a null text.
jstring toJavaName(JNIEnv* env, const char* text);
// The native-encoded text of a Java string (malloc), converted from the agent; null for null.
// When the conversion fails, `failed` is set and null returned.
char* fromJavaText(JNIEnv* env, jstring s, bool* failed);
// The modified UTF-8 bytes of a Java string as std::string ("" for null).
std::string javaUtf(JNIEnv* env, jstring s);

// The agent port that talks to the JVM through the callbacks; n_init installs it.
void installJvmAgentPort();

// Writes one trace line through the agent object.
void jvmTraceWrite(const char* name, int level, const char* indent, const char* msg,
                   const char* text2);
// Hands an event to the agent object (no subscription check); its answer, -1 when not delivered.
int jvmDeliverEvent(BusinessObject& bo);

// Reads a Java string's UTF-16 units into a zero-terminated buffer the caller frees (free()).
unsigned short* javaUnits(JNIEnv* env, jstring s, int* length);

}  // namespace vy

#define VY_ENV_ASSERT(cond, file)                       \
  do {                                                  \
    if (!(cond)) ::vy::environmentFailure(#cond, file); \
  } while (0)

// The same with the text of the failed condition given (the portal's classes are reported under
// the names the agent's developers know them by).
#define VY_ENV_CHECK(cond, what, file)                 \
  do {                                                 \
    if (!(cond)) ::vy::environmentFailure(what, file); \
  } while (0)

#endif  // VY_BRIDGE_STATE_HPP
