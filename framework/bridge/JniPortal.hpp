// The one place the bridge keeps what it knows of the Java side: the class references it calls
// through (global references, owned here), and the method and field identifiers that go with
// them. The agent's part is looked up by n_init; the conversion part the first time a conversion
// needs the JVM (n_init asks for it too). Everything is released when the JVM unloads the library
// (JNI_OnUnload); it is never released at process exit, when the JVM may already be gone.
#ifndef VY_JNI_PORTAL_HPP
#define VY_JNI_PORTAL_HPP

#include <jni.h>

namespace vy {

// Owns one global reference, released through reset(env). The destructor does not release it: a
// global reference must not be deleted once the JVM is gone, so holders live until the library is
// unloaded and release what they hold there (or earlier, when they are done with it).
class GlobalRef {
 public:
  GlobalRef() = default;
  ~GlobalRef() = default;
  GlobalRef(const GlobalRef&) = delete;
  GlobalRef& operator=(const GlobalRef&) = delete;

  // Takes a new global reference to `obj` (null for null), releasing the one held before.
  void assign(JNIEnv* env, jobject obj);
  // Releases the reference (no-op when empty).
  void reset(JNIEnv* env);
  jobject get() const { return obj_; }
  template <typename T>
  T as() const {
    return static_cast<T>(obj_);
  }
  explicit operator bool() const { return obj_ != nullptr; }

 private:
  jobject obj_ = nullptr;
};

// The agent classes and their identifiers, resolved by n_init.
struct AgentIds {
  jclass rtnStatusDesp = nullptr;          // KyCommon/ReturnStatusDescriptor
  jclass busObjNativeInterface = nullptr;  // AppSide_Connector/BusObjNativeInterface
  jclass stringBucket = nullptr;           // AppSide_Connector/StringBucket
  jmethodID getConfigProp = nullptr;       // static
  jmethodID getDeltaSupport = nullptr;     // static
  jmethodID logMsg = nullptr;
  jmethodID logMsgSeverity = nullptr;
  jmethodID traceWrite = nullptr;
  jmethodID generateMsg = nullptr;
  jmethodID getCollabNames = nullptr;
  jmethodID isAgentCapableOfPolling = nullptr;
  jmethodID getEncoding = nullptr;
  jmethodID getLocale = nullptr;
  jmethodID gotEventFromApp = nullptr;
  jmethodID consumeSync = nullptr;
  jmethodID bucketInit = nullptr;
  jfieldID bucketContent = nullptr;
  jmethodID setErrorString = nullptr;
};

// The JDK classes and identifiers the encoding conversions use.
struct ConversionIds {
  jclass string = nullptr;
  jmethodID newMbcs = nullptr;   // String(byte[], String)
  jmethodID getBytes = nullptr;  // String.getBytes(String)
  jclass charset = nullptr;
  jmethodID forName = nullptr;        // static Charset.forName(String)
  jmethodID canonicalName = nullptr;  // Charset.name()
  jclass illegalArgument = nullptr;   // what forName throws for an unknown or illegal name
};

// The agent's identifiers; valid after n_init.
const AgentIds& agentIds();

// Looks the agent classes and identifiers up (n_init). Stops the process on a missing class: the
// agent is then not the one this library was built for. A missing method is reported when it is
// first needed, so an agent that never takes events still runs a connector that never raises them.
void loadAgentClasses(JNIEnv* env);

// Fills the conversion identifiers once (idempotent, thread-safe); a missing class or method is an
// environment failure. False while they are not filled (no JVM to ask yet).
bool initConversionIds(JNIEnv* env);
const ConversionIds& conversionIds();  // after initConversionIds answered true

// Releases every global reference the portal holds and forgets the identifiers (library unload).
void releasePortal(JNIEnv* env);

}  // namespace vy

#endif  // VY_JNI_PORTAL_HPP
