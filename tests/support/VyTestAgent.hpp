// The test side of the real agent: one embedded JVM per test binary (created in main with
// -Xcheck:jni and the agent jar on the class path) and a C++ face of the Java agent object, so a
// test scripts the agent, drives the real native entry points through Java, and reads what the
// agent was told.
//
// Every JVM output line is captured; a test during which the JVM printed a JNI warning fails.
#ifndef VY_TEST_AGENT_HPP
#define VY_TEST_AGENT_HPP

#include <jni.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "AgentRecords.hpp"

namespace vytest {

// The calling thread's JNI environment (attached on first use).
JNIEnv* env();

// Fails the current test with the description of a pending Java exception, and clears it.
void checkNoException(const char* where);

// Java string helpers (local references are released by the callers' frames or by these).
jstring jstr(const std::string& utf8);        // null-safe: see jstrOrNull
jstring jstrOrNull(const char* utf8);         // null gives a null jstring
jstring jstr16(const std::u16string& units);  // exact UTF-16 units
std::string str(jstring s);                   // modified UTF-8 -> std::string ("" for null)
std::u16string str16(jstring s);              // exact UTF-16 units
bool isNull(jstring s);

struct SyncRequest {
  std::string collab;
  std::string object;
  std::string status;
};

struct VerbResult {
  int status;
  std::u16string content;  // the bucket after the call
  bool hasError;
  std::string error;  // the text the Java status received
};

// One agent object (AppSide_Connector.BusObjNativeInterface). Creating one clears the static
// script (properties, delta answers). Destroying it calls n_terminate if init ran.
// Not copied: it owns the global reference to its Java object.
class Agent {
 public:
  Agent();
  ~Agent();

  jobject object() const { return obj_.get(); }

  // ---- script ----
  static void setProperty(const std::string& name, const char* value);  // null removes
  static void setDeltaSupport(const std::string& boName, const char* answer);
  static void setThrowOnConfig(bool value);
  static std::vector<std::string> configRequests();
  // Faults the agent injects into its callbacks: `callback` ("*": every one) fails with
  // `probability`, decided by a hash seeded with `seed`; `kind` is "runtime", "oom" (an
  // OutOfMemoryError thrown), "heap" (the JVM's own, from an allocation beyond the heap) or
  // "mixed" (runtime or oom). Faults are not cleared by a new Agent: clearFaults ends them.
  static void setFault(const char* callback, const char* kind, double probability, long seed);
  static void clearFaults();
  static long faultsInjected(const char* callback = "*");
  void setEncoding(const char* encoding);
  void setLocale(const char* locale);
  void setCollabNames(const char* names);
  void setCapableOfPolling(bool value);
  void setEventAnswer(int answer);
  void setSyncAnswer(const char* objectText, const char* statusText);
  void setRecording(bool value);

  // ---- the native entry points, called as the agent calls them ----
  int init(const char* version = "4.1.0", const char* dll = "VyTestConnector");
  int terminate();
  int poll();
  std::string getVersion();
  void suspend();
  void resume();
  std::string cdkVersion();
  std::string cjniVersion();
  void setTraceLevel(int level);
  void gotBusObjSpec(const std::string& specText);
  void gotBusObjSpec16(const std::u16string& specText);
  VerbResult doVerbFor(const std::u16string& content, bool transactional = false);
  VerbResult doVerbFor(const std::string& content, bool transactional = false);
  int subscribeTo(const char* name, const char* verb, int perf);
  bool isSubscribed(const char* name, const char* verb);
  int cancelSub(const char* name, const char* version, const char* verb);
  int updateSubscription(const char* name, const char* verb, int unused, int perf);
  std::string getPerfMonitors();

  // ---- records ----
  std::vector<LogLine> logs();
  std::vector<TraceLine> traces();
  std::vector<MsgRequest> messages();
  std::vector<std::string> events();
  std::vector<SyncRequest> syncs();
  int encodingRequests();
  int localeRequests();
  void clearRecords();
  // The requests of one message number.
  std::vector<MsgRequest> messagesNumbered(int num);
  bool logged(const std::string& fragment);

 private:
  struct DeleteGlobalRef {
    void operator()(jobject obj) const;
  };
  std::unique_ptr<std::remove_pointer_t<jobject>, DeleteGlobalRef> obj_;
  bool initialised_ = false;
};

// Lines the JVM printed since the last call (captured through the vfprintf hook).
std::vector<std::string> takeJvmOutput();

}  // namespace vytest

#endif  // VY_TEST_AGENT_HPP
