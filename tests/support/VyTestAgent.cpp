#include "VyTestAgent.hpp"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "JvmStart.hpp"

namespace vytest {
namespace {

std::mutex gOutputLock;
std::vector<std::string> gOutput;
std::string gPartial;

JavaVM* gVm = nullptr;

// Reads the exception state after an upcall: a pending exception fails the test and is cleared.
void checkPending();

jclass agentClass() {
  static jclass cls = [] {
    JNIEnv* e = env();
    jclass local = e->FindClass("AppSide_Connector/BusObjNativeInterface");
    if (local == nullptr) {
      e->ExceptionDescribe();
      std::abort();
    }
    jclass global = static_cast<jclass>(e->NewGlobalRef(local));
    e->DeleteLocalRef(local);
    return global;
  }();
  return cls;
}

// The id of the agent class's method `name` (`isStatic`: a static one); a missing one stops the
// tests.
jmethodID agentMethod(bool isStatic, const char* name, const char* sig) {
  checkPending();
  jmethodID mid = isStatic ? env()->GetStaticMethodID(agentClass(), name, sig)
                           : env()->GetMethodID(agentClass(), name, sig);
  if (mid == nullptr) {
    env()->ExceptionDescribe();
    std::fprintf(stderr, "agent %smethod %s%s missing\n", isStatic ? "static " : "", name, sig);
    std::abort();
  }
  return mid;
}

jmethodID method(const char* name, const char* sig) { return agentMethod(false, name, sig); }

jmethodID staticMethod(const char* name, const char* sig) { return agentMethod(true, name, sig); }

// Reads a list of record objects through a callback per element.
template <typename F>
void forEach(jobject list, F&& f) {
  checkPending();
  JNIEnv* e = env();
  jclass listCls = e->GetObjectClass(list);
  jmethodID size = e->GetMethodID(listCls, "size", "()I");
  jmethodID get = e->GetMethodID(listCls, "get", "(I)Ljava/lang/Object;");
  checkPending();
  jint n = e->CallIntMethod(list, size);
  checkPending();
  for (jint i = 0; i < n; ++i) {
    jobject item = e->CallObjectMethod(list, get, i);
    checkPending();
    f(item);
    e->DeleteLocalRef(item);
  }
  e->DeleteLocalRef(listCls);
  e->DeleteLocalRef(list);
}

// The id of the field `name` (of type `sig`) of obj's class.
jfieldID fieldOf(jobject obj, const char* name, const char* sig) {
  checkPending();
  JNIEnv* e = env();
  jclass cls = e->GetObjectClass(obj);
  jfieldID fid = e->GetFieldID(cls, name, sig);
  e->DeleteLocalRef(cls);
  return fid;
}

const char kStringSig[] = "Ljava/lang/String;";

std::string stringField(jobject obj, const char* name) {
  JNIEnv* e = env();
  jstring s = static_cast<jstring>(e->GetObjectField(obj, fieldOf(obj, name, kStringSig)));
  std::string out = str(s);
  if (s) e->DeleteLocalRef(s);
  return out;
}

bool stringFieldNull(jobject obj, const char* name) {
  JNIEnv* e = env();
  jobject s = e->GetObjectField(obj, fieldOf(obj, name, kStringSig));
  if (s == nullptr) return true;
  e->DeleteLocalRef(s);
  return false;
}

int intField(jobject obj, const char* name) {
  return env()->GetIntField(obj, fieldOf(obj, name, "I"));
}

// ---- the JVM's output, captured line by line ----
extern "C" jint JNICALL captureVfprintf(FILE* stream, const char* format, va_list args) {
  char buf[4096];
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  std::fputs(buf, stream);
  std::lock_guard<std::mutex> guard(gOutputLock);
  gPartial += buf;
  size_t pos;
  while ((pos = gPartial.find('\n')) != std::string::npos) {
    gOutput.push_back(gPartial.substr(0, pos));
    gPartial.erase(0, pos + 1);
  }
  return n;
}

// Fails the test during which the JVM printed a JNI warning.
class JniWarningListener : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& info) override {
    for (const std::string& line : takeJvmOutput()) {
      if (line.find("WARNING") != std::string::npos &&
          (line.find("JNI") != std::string::npos ||
           line.find("native method") != std::string::npos)) {
        ADD_FAILURE() << info.name() << ": the JVM warned: " << line;
      }
    }
  }
};

void checkPending() {
  JNIEnv* e = env();
  if (e->ExceptionCheck()) {
    e->ExceptionDescribe();
    e->ExceptionClear();
    ADD_FAILURE() << "Java exception pending in the test harness";
  }
}

}  // namespace

std::vector<std::string> takeJvmOutput() {
  std::lock_guard<std::mutex> guard(gOutputLock);
  std::vector<std::string> out;
  out.swap(gOutput);
  return out;
}

JNIEnv* env() {
  void* e = nullptr;
  jint rc = gVm->GetEnv(&e, JNI_VERSION_1_8);
  if (rc == JNI_EDETACHED) gVm->AttachCurrentThread(&e, nullptr);
  return static_cast<JNIEnv*>(e);
}

void checkNoException(const char* where) {
  JNIEnv* e = env();
  if (e->ExceptionCheck()) {
    e->ExceptionDescribe();
    e->ExceptionClear();
    ADD_FAILURE() << "Java exception pending after " << where;
  }
}

jstring jstr(const std::string& utf8) { return env()->NewStringUTF(utf8.c_str()); }

jstring jstrOrNull(const char* utf8) { return utf8 ? env()->NewStringUTF(utf8) : nullptr; }

jstring jstr16(const std::u16string& units) {
  return env()->NewString(reinterpret_cast<const jchar*>(units.data()),
                          static_cast<jsize>(units.size()));
}

bool isNull(jstring s) { return s == nullptr; }

std::string str(jstring s) {
  checkPending();
  if (s == nullptr) return std::string();
  JNIEnv* e = env();
  const char* c = e->GetStringUTFChars(s, nullptr);
  std::string out(c, static_cast<size_t>(e->GetStringUTFLength(s)));
  e->ReleaseStringUTFChars(s, c);
  return out;
}

std::u16string str16(jstring s) {
  checkPending();
  if (s == nullptr) return std::u16string();
  JNIEnv* e = env();
  jsize n = e->GetStringLength(s);
  std::u16string out(static_cast<size_t>(n), u'\0');
  e->GetStringRegion(s, 0, n, reinterpret_cast<jchar*>(out.data()));
  return out;
}

// ---- Agent ----

Agent::Agent() {
  JNIEnv* e = env();
  e->CallStaticVoidMethod(agentClass(), staticMethod("clearProperties", "()V"));
  checkPending();
  jmethodID ctor = method("<init>", "()V");
  jobject local = e->NewObject(agentClass(), ctor);
  obj_.reset(e->NewGlobalRef(local));
  e->DeleteLocalRef(local);
}

Agent::~Agent() {
  if (initialised_) terminate();
}

void Agent::DeleteGlobalRef::operator()(jobject obj) const { env()->DeleteGlobalRef(obj); }

void Agent::setProperty(const std::string& name, const char* value) {
  JNIEnv* e = env();
  jstring n = jstr(name);
  jstring v = jstrOrNull(value);
  e->CallStaticVoidMethod(
      agentClass(), staticMethod("setProperty", "(Ljava/lang/String;Ljava/lang/String;)V"), n, v);
  checkPending();
  e->DeleteLocalRef(n);
  if (v) e->DeleteLocalRef(v);
}

void Agent::setDeltaSupport(const std::string& boName, const char* answer) {
  JNIEnv* e = env();
  jstring n = jstr(boName);
  jstring v = jstrOrNull(answer);
  e->CallStaticVoidMethod(
      agentClass(),
      staticMethod("setDeltaSupportAnswer", "(Ljava/lang/String;Ljava/lang/String;)V"), n, v);
  checkPending();
  e->DeleteLocalRef(n);
  if (v) e->DeleteLocalRef(v);
}

void Agent::setThrowOnConfig(bool value) {
  env()->CallStaticVoidMethod(agentClass(), staticMethod("setThrowOnConfig", "(Z)V"),
                              value ? JNI_TRUE : JNI_FALSE);
  checkPending();
}

std::vector<std::string> Agent::configRequests() {
  std::vector<std::string> out;
  jobject list = env()->CallStaticObjectMethod(
      agentClass(), staticMethod("getConfigRequests", "()Ljava/util/List;"));
  checkPending();
  forEach(list, [&](jobject item) { out.push_back(str(static_cast<jstring>(item))); });
  return out;
}

void Agent::setFault(const char* callback, const char* kind, double probability, long seed) {
  JNIEnv* e = env();
  jstring c = jstrOrNull(callback);
  jstring k = jstrOrNull(kind);
  e->CallStaticVoidMethod(agentClass(),
                          staticMethod("setFault", "(Ljava/lang/String;Ljava/lang/String;DJ)V"), c,
                          k, static_cast<jdouble>(probability), static_cast<jlong>(seed));
  checkPending();
  if (c) e->DeleteLocalRef(c);
  if (k) e->DeleteLocalRef(k);
}

void Agent::clearFaults() {
  env()->CallStaticVoidMethod(agentClass(), staticMethod("clearFaults", "()V"));
  checkPending();
}

long Agent::faultsInjected(const char* callback) {
  JNIEnv* e = env();
  jstring c = jstrOrNull(callback);
  long n = static_cast<long>(e->CallStaticLongMethod(
      agentClass(), staticMethod("getFaultsInjected", "(Ljava/lang/String;)J"), c));
  checkPending();
  if (c) e->DeleteLocalRef(c);
  return n;
}

namespace {
// Calls obj's method `name` taking one String with `v` (null or a local reference, released).
void callWithString(jobject obj, const char* name, jstring v) {
  env()->CallVoidMethod(obj, method(name, "(Ljava/lang/String;)V"), v);
  checkPending();
  if (v) env()->DeleteLocalRef(v);
}

void callStringSetter(jobject obj, const char* name, const char* value) {
  callWithString(obj, name, jstrOrNull(value));
}
}  // namespace

void Agent::setEncoding(const char* encoding) {
  callStringSetter(object(), "setEncoding", encoding);
}
void Agent::setLocale(const char* locale) { callStringSetter(object(), "setLocale", locale); }
void Agent::setCollabNames(const char* names) {
  callStringSetter(object(), "setCollabNames", names);
}

void Agent::setCapableOfPolling(bool value) {
  env()->CallVoidMethod(object(), method("setCapableOfPolling", "(Z)V"),
                        value ? JNI_TRUE : JNI_FALSE);
  checkPending();
}

void Agent::setEventAnswer(int answer) {
  env()->CallVoidMethod(object(), method("setEventAnswer", "(I)V"), answer);
  checkPending();
}

void Agent::setRecording(bool value) {
  env()->CallVoidMethod(object(), method("setRecording", "(Z)V"), value ? JNI_TRUE : JNI_FALSE);
  checkPending();
}

void Agent::setSyncAnswer(const char* objectText, const char* statusText) {
  JNIEnv* e = env();
  jstring o = jstrOrNull(objectText);
  jstring s = jstrOrNull(statusText);
  e->CallVoidMethod(object(), method("setSyncAnswer", "(Ljava/lang/String;Ljava/lang/String;)V"), o,
                    s);
  checkPending();
  if (o) e->DeleteLocalRef(o);
  if (s) e->DeleteLocalRef(s);
}

int Agent::init(const char* version, const char* dll) {
  JNIEnv* e = env();
  jstring v = jstrOrNull(version);
  jstring d = jstrOrNull(dll);
  int rc =
      e->CallIntMethod(object(), method("n_init", "(Ljava/lang/String;Ljava/lang/String;)I"), v, d);
  checkPending();
  if (v) e->DeleteLocalRef(v);
  if (d) e->DeleteLocalRef(d);
  checkNoException("n_init");
  initialised_ = true;
  return rc;
}

int Agent::terminate() {
  int rc = env()->CallIntMethod(object(), method("n_terminate", "()I"));
  checkNoException("n_terminate");
  initialised_ = false;
  return rc;
}

int Agent::poll() {
  int rc = env()->CallIntMethod(object(), method("n_poll", "()I"));
  checkNoException("n_poll");
  return rc;
}

namespace {
std::string callString(jobject obj, const char* name) {
  jstring s =
      static_cast<jstring>(env()->CallObjectMethod(obj, method(name, "()Ljava/lang/String;")));
  checkNoException(name);
  std::string out = str(s);
  if (s) env()->DeleteLocalRef(s);
  return out;
}
}  // namespace

std::string Agent::getVersion() { return callString(object(), "n_getVersion"); }
std::string Agent::cdkVersion() { return callString(object(), "n_CDKVersion"); }
std::string Agent::cjniVersion() { return callString(object(), "n_CJNIVersion"); }
std::string Agent::getPerfMonitors() { return callString(object(), "n_getPerfMonitors"); }

void Agent::suspend() {
  env()->CallVoidMethod(object(), method("n_suspend", "()V"));
  checkNoException("n_suspend");
}

void Agent::resume() {
  env()->CallVoidMethod(object(), method("n_resume", "()V"));
  checkNoException("n_resume");
}

void Agent::setTraceLevel(int level) {
  env()->CallVoidMethod(object(), method("n_setTraceLevel", "(I)V"), level);
  checkNoException("n_setTraceLevel");
}

void Agent::gotBusObjSpec(const std::string& specText) {
  callWithString(object(), "n_gotBusObjSpec", jstr(specText));
  checkNoException("n_gotBusObjSpec");
}

void Agent::gotBusObjSpec16(const std::u16string& specText) {
  callWithString(object(), "n_gotBusObjSpec", jstr16(specText));
  checkNoException("n_gotBusObjSpec");
}

VerbResult Agent::doVerbFor(const std::string& content, bool transactional) {
  std::u16string units(content.begin(), content.end());
  return doVerbFor(units, transactional);
}

VerbResult Agent::doVerbFor(const std::u16string& content, bool transactional) {
  JNIEnv* e = env();
  jclass bucketCls = e->FindClass("AppSide_Connector/StringBucket");
  jclass statusCls = e->FindClass("KyCommon/ReturnStatusDescriptor");
  jstring text = jstr16(content);
  jobject bucket =
      e->NewObject(bucketCls, e->GetMethodID(bucketCls, "<init>", "(Ljava/lang/String;)V"), text);
  jobject status = e->NewObject(statusCls, e->GetMethodID(statusCls, "<init>", "()V"));
  VerbResult r;
  r.status = e->CallIntMethod(
      object(),
      method("n_DoVerbFor",
             "(LAppSide_Connector/StringBucket;ZLKyCommon/ReturnStatusDescriptor;)I"),
      bucket, transactional ? JNI_TRUE : JNI_FALSE, status);
  checkNoException("n_DoVerbFor");
  jstring out = static_cast<jstring>(
      e->GetObjectField(bucket, e->GetFieldID(bucketCls, "content", "Ljava/lang/String;")));
  r.content = str16(out);
  jstring err = static_cast<jstring>(e->CallObjectMethod(
      status, e->GetMethodID(statusCls, "getErrorString", "()Ljava/lang/String;")));
  r.hasError = err != nullptr;
  r.error = str(err);
  for (jobject o :
       {static_cast<jobject>(out), static_cast<jobject>(err), static_cast<jobject>(text), bucket,
        status, static_cast<jobject>(bucketCls), static_cast<jobject>(statusCls)}) {
    if (o) e->DeleteLocalRef(o);
  }
  return r;
}

int Agent::subscribeTo(const char* name, const char* verb, int perf) {
  JNIEnv* e = env();
  jstring n = jstrOrNull(name), v = jstrOrNull(verb);
  int rc = e->CallIntMethod(
      object(), method("n_SubscribeTo", "(Ljava/lang/String;Ljava/lang/String;I)I"), n, v, perf);
  checkPending();
  if (n) e->DeleteLocalRef(n);
  if (v) e->DeleteLocalRef(v);
  checkNoException("n_SubscribeTo");
  return rc;
}

bool Agent::isSubscribed(const char* name, const char* verb) {
  JNIEnv* e = env();
  jstring n = jstrOrNull(name), v = jstrOrNull(verb);
  jboolean rc = e->CallBooleanMethod(
      object(), method("n_isSubscribed", "(Ljava/lang/String;Ljava/lang/String;)Z"), n, v);
  checkPending();
  if (n) e->DeleteLocalRef(n);
  if (v) e->DeleteLocalRef(v);
  checkNoException("n_isSubscribed");
  return rc == JNI_TRUE;
}

int Agent::cancelSub(const char* name, const char* version, const char* verb) {
  JNIEnv* e = env();
  jstring n = jstrOrNull(name), ver = jstrOrNull(version), v = jstrOrNull(verb);
  int rc = e->CallIntMethod(
      object(), method("n_CancelSub", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"),
      n, ver, v);
  checkPending();
  for (jstring s : {n, ver, v})
    if (s) e->DeleteLocalRef(s);
  checkNoException("n_CancelSub");
  return rc;
}

int Agent::updateSubscription(const char* name, const char* verb, int unused, int perf) {
  JNIEnv* e = env();
  jstring n = jstrOrNull(name), v = jstrOrNull(verb);
  int rc = e->CallIntMethod(
      object(), method("n_UpdateSubscription", "(Ljava/lang/String;Ljava/lang/String;II)I"), n, v,
      unused, perf);
  checkPending();
  if (n) e->DeleteLocalRef(n);
  if (v) e->DeleteLocalRef(v);
  checkNoException("n_UpdateSubscription");
  return rc;
}

namespace {

// The records the agent's list getter `getter` answers, each read by `read`.
template <class T, class Read>
std::vector<T> records(jobject agent, const char* getter, Read read) {
  std::vector<T> out;
  forEach(env()->CallObjectMethod(agent, method(getter, "()Ljava/util/List;")), [&](jobject r) {
    out.push_back(read(r));
    checkPending();
  });
  return out;
}

}  // namespace

std::vector<LogLine> Agent::logs() {
  return records<LogLine>(object(), "getLogs", [](jobject r) {
    return LogLine{stringField(r, "text"), intField(r, "severity")};
  });
}

std::vector<TraceLine> Agent::traces() {
  return records<TraceLine>(object(), "getTraces", [](jobject r) {
    return TraceLine{stringField(r, "name"), intField(r, "level"), stringField(r, "msg"),
                     !stringFieldNull(r, "text2"), stringField(r, "text2")};
  });
}

std::vector<MsgRequest> Agent::messages() {
  return records<MsgRequest>(object(), "getMessages", [](jobject r) {
    return MsgRequest{intField(r, "msgNum"),  intField(r, "msgType"), !stringFieldNull(r, "text"),
                      stringField(r, "text"), intField(r, "msgSet"),  intField(r, "argCount"),
                      stringField(r, "args")};
  });
}

std::vector<std::string> Agent::events() {
  return records<std::string>(object(), "getEvents",
                              [](jobject r) { return str(static_cast<jstring>(r)); });
}

std::vector<SyncRequest> Agent::syncs() {
  return records<SyncRequest>(object(), "getSyncs", [](jobject r) {
    return SyncRequest{stringField(r, "collabName"), stringField(r, "objectText"),
                       stringField(r, "statusText")};
  });
}

int Agent::encodingRequests() {
  int n = env()->CallIntMethod(object(), method("getEncodingRequests", "()I"));
  checkPending();
  return n;
}
int Agent::localeRequests() {
  int n = env()->CallIntMethod(object(), method("getLocaleRequests", "()I"));
  checkPending();
  return n;
}

void Agent::clearRecords() {
  env()->CallVoidMethod(object(), method("clearRecords", "()V"));
  checkPending();
}

std::vector<MsgRequest> Agent::messagesNumbered(int num) {
  std::vector<MsgRequest> out;
  for (MsgRequest& m : messages())
    if (m.num == num) out.push_back(m);
  return out;
}

bool Agent::logged(const std::string& fragment) {
  for (const LogLine& l : logs())
    if (l.text.find(fragment) != std::string::npos) return true;
  return false;
}

}  // namespace vytest

// ---- main: one JVM for the whole binary ----
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  JNIEnv* e = nullptr;
  if (vy::startJvm({std::string("-Djava.class.path=") + VY_AGENT_JAR, "-Xcheck:jni", "-Xss4m"},
                   &vytest::captureVfprintf, &vytest::gVm, &e) != JNI_OK) {
    std::fprintf(stderr, "cannot create the JVM\n");
    return 2;
  }
  // Load the test connector the way the agent loads a connector library.
  jstring path = e->NewStringUTF(VY_TEST_CONNECTOR);
  e->CallStaticVoidMethod(vytest::agentClass(),
                          vytest::staticMethod("loadConnectorFile", "(Ljava/lang/String;)V"), path);
  if (e->ExceptionCheck()) {
    e->ExceptionDescribe();
    return 2;
  }
  e->DeleteLocalRef(path);
  ::testing::UnitTest::GetInstance()->listeners().Append(new vytest::JniWarningListener);
  int rc = RUN_ALL_TESTS();
  // The JVM is left to the process's exit: DestroyJavaVM waits for non-daemon threads.
  std::fflush(stdout);
  return rc;
}
