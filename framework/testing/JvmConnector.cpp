// The test kit's JVM mode: the agent's classes in an embedded JVM load the connector library
// and call the real native entry points, exactly as the agent does.
#include <dlfcn.h>
#include <jni.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

#include "AgentPort.hpp"
#include "ConnectorFault.hpp"
#include "JvmStart.hpp"
#include "KyMsgFormat.hpp"
#include "LibraryLoad.hpp"
#include "ObjectWire.hpp"
#include "Utf8.hpp"
#include "VyTesting.hpp"

namespace vy {
namespace testing {
namespace {

const char kAgentClass[] = "AppSide_Connector/BusObjNativeInterface";

bool exists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// The agent jar: VY_AGENT_JAR, else the jar installed beside the libVyConnector this process
// uses (<prefix>/lib -> <prefix>/share/VyConnector/java), else the build tree's.
std::string defaultAgentJar() {
  if (const char* env = std::getenv("VY_AGENT_JAR")) return env;
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&vy::agentPort), &info) != 0 && info.dli_fname != nullptr) {
    std::string lib = info.dli_fname;
    size_t slash = lib.rfind('/');
    if (slash != std::string::npos) {
      std::string jar = lib.substr(0, slash) + "/../share/VyConnector/java/vyagent.jar";
      if (exists(jar)) return jar;
    }
  }
  return VY_TESTING_BUILD_JAR;
}

JavaVM* theVm(const JvmOptions& options) {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  JavaVM* vm = nullptr;
  jsize count = 0;
  if (JNI_GetCreatedJavaVMs(&vm, 1, &count) == JNI_OK && count > 0) return vm;
  std::string jar = options.agentJar.empty() ? defaultAgentJar() : options.agentJar;
  if (!exists(jar)) throw Error("no agent jar at " + jar + " (set VY_AGENT_JAR)");
  std::vector<std::string> texts = {"-Djava.class.path=" + jar};
  texts.insert(texts.end(), options.options.begin(), options.options.end());
  JNIEnv* env = nullptr;
  if (startJvm(texts, nullptr, &vm, &env) != JNI_OK) throw Error("the JVM could not start");
  return vm;
}

class JvmConnector : public Connector {
 public:
  JvmConnector(const std::string& library, const JvmOptions& options)
      : vm_(theVm(options)), library_(library) {
    JNIEnv* e = env();
    jclass local = e->FindClass(kAgentClass);
    if (local == nullptr) {
      e->ExceptionClear();
      throw Error("the JVM has no agent classes (is vyagent.jar on its class path?)");
    }
    cls_ = static_cast<jclass>(e->NewGlobalRef(local));
    e->DeleteLocalRef(local);
    callStatic("clearProperties", "()V");
    jstring path = text(library_);
    LibraryLoad load(library_);
    e->CallStaticVoidMethod(cls_, staticId("loadConnectorFile", "(Ljava/lang/String;)V"), path);
    e->DeleteLocalRef(path);
    if (jthrowable error = e->ExceptionOccurred()) {
      e->ExceptionClear();
      std::string why = describe(error);
      throw Error("cannot load " + library_ + ": " + why);
    }
    noGlobals_ = load.registeredNothing();
    jobject agent = e->NewObject(cls_, id("<init>", "()V"));
    agent_ = e->NewGlobalRef(agent);
    e->DeleteLocalRef(agent);
  }

  ~JvmConnector() override {
    if (running_) stop();
    JNIEnv* e = env();
    e->DeleteGlobalRef(agent_);
    e->DeleteGlobalRef(cls_);
  }

  void setProperty(const std::string& name, const std::string& value) override {
    JNIEnv* e = env();
    jstring n = text(name), v = text(value);
    e->CallStaticVoidMethod(
        cls_, staticId("setProperty", "(Ljava/lang/String;Ljava/lang/String;)V"), n, v);
    drop({n, v});
  }

  void setEventAnswer(int answer) override {
    env()->CallVoidMethod(agent_, id("setEventAnswer", "(I)V"), static_cast<jint>(answer));
    check();
  }

  void setDeltaSupport(const std::string& type, bool supported) override {
    JNIEnv* e = env();
    jstring t = text(type), a = text(supported ? "true" : "false");
    e->CallStaticVoidMethod(
        cls_, staticId("setDeltaSupportAnswer", "(Ljava/lang/String;Ljava/lang/String;)V"), t, a);
    drop({t, a});
  }

  int start() override {
    lastError_.clear();
    if (running_) {
      lastError_ = "the connector is running already";
      return -1;
    }
    if (noGlobals_) {
      // The agent would start whatever connector loaded before this library.
      lastError_ = vy::reportMissingGlobals();
      return -1;
    }
    size_t before = logs().size();
    JNIEnv* e = env();
    jstring version = text("4.1.0"), lib = text(library_);
    jint result = e->CallIntMethod(agent_, id("n_init", "(Ljava/lang/String;Ljava/lang/String;)I"),
                                   version, lib);
    check();
    drop({version, lib});
    running_ = true;
    if (result != 0) lastError_ = errorsLoggedSince(before);
    return result;
  }

  int stop() override {
    lastError_.clear();
    if (!running_) {
      lastError_ = "the connector is not running";
      return -1;
    }
    size_t before = logs().size();
    jint result = env()->CallIntMethod(agent_, id("n_terminate", "()I"));
    check();
    running_ = false;
    if (result != 0) lastError_ = errorsLoggedSince(before);
    return result;
  }

  bool running() const override { return running_; }

  int poll() override {
    lastError_.clear();
    size_t before = logs().size();
    jint result = env()->CallIntMethod(agent_, id("n_poll", "()I"));
    check();
    if (result < 0) lastError_ = errorsLoggedSince(before);
    return result;
  }

  std::string version() override {
    jstring s = static_cast<jstring>(
        env()->CallObjectMethod(agent_, id("n_getVersion", "()Ljava/lang/String;")));
    check();
    std::string out = utf8(s);
    drop({s});
    return out;
  }

  std::string lastError() const override { return lastError_; }

  Result request(const Object& object) override {
    JNIEnv* e = env();
    std::u16string wire = objectToWire(object);
    jstring content =
        e->NewString(reinterpret_cast<const jchar*>(wire.data()), static_cast<jsize>(wire.size()));
    jclass bucketCls = findClass("AppSide_Connector/StringBucket");
    jclass statusCls = findClass("KyCommon/ReturnStatusDescriptor");
    jobject bucket = e->NewObject(
        bucketCls, e->GetMethodID(bucketCls, "<init>", "(Ljava/lang/String;)V"), content);
    jobject status = e->NewObject(statusCls, e->GetMethodID(statusCls, "<init>", "()V"));
    check();
    Result result;
    result.status = e->CallIntMethod(
        agent_,
        id("n_DoVerbFor", "(LAppSide_Connector/StringBucket;ZLKyCommon/ReturnStatusDescriptor;)I"),
        bucket, JNI_FALSE, status);
    check();
    jstring error = static_cast<jstring>(e->CallObjectMethod(
        status, e->GetMethodID(statusCls, "getErrorString", "()Ljava/lang/String;")));
    check();
    result.error = utf8(error);
    if (result.status == 1 || result.status == -5) {
      jstring back = static_cast<jstring>(
          e->GetObjectField(bucket, e->GetFieldID(bucketCls, "content", "Ljava/lang/String;")));
      result.object = objectFromWire(units(back));
      drop({back});
    }
    drop({error, content, bucket, status, bucketCls, statusCls});
    return result;
  }

  int subscribe(const std::string& type, const std::string& verb) override {
    jstring t = text(type), v = verb.empty() ? nullptr : text(verb);
    jint r = env()->CallIntMethod(
        agent_, id("n_SubscribeTo", "(Ljava/lang/String;Ljava/lang/String;I)I"), t, v, 0);
    drop({t, v});
    return r;
  }

  int unsubscribe(const std::string& type, const std::string& verb) override {
    jstring t = text(type), v = verb.empty() ? nullptr : text(verb);
    jint r = env()->CallIntMethod(
        agent_, id("n_CancelSub", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"), t,
        nullptr, v);
    check();
    drop({t, v});
    return r;
  }

  std::vector<Object> events() override {
    std::vector<Object> out;
    size_t seen = 0;
    forEach("getEvents", [&](jobject item) {
      if (seen++ < eventsTaken_) return;
      out.push_back(objectFromWire(units(static_cast<jstring>(item))));
    });
    eventsTaken_ = seen;
    return out;
  }

  std::vector<LogLine> logs() override {
    std::vector<LogLine> out;
    forEach("getLogs", [&](jobject item) {
      out.push_back({intField(item, "severity"), stringField(item, "text")});
    });
    return out;
  }

  std::vector<TraceLine> traces() override {
    std::vector<TraceLine> out;
    forEach("getTraces", [&](jobject item) {
      out.push_back(
          {intField(item, "level"), stringField(item, "msg"), stringField(item, "text2")});
    });
    return out;
  }

  void clearRecords() override {
    env()->CallVoidMethod(agent_, id("clearRecords", "()V"));
    check();
    eventsTaken_ = 0;
  }

 protected:
  void announceWire(const std::string& specWire) override {
    if (!running_) throw Error("start the connector before announcing specs");
    jstring s = text(specWire);
    env()->CallVoidMethod(agent_, id("n_gotBusObjSpec", "(Ljava/lang/String;)V"), s);
    drop({s});
  }

 private:
  JNIEnv* env() const {
    void* e = nullptr;
    if (vm_->GetEnv(&e, JNI_VERSION_1_8) == JNI_EDETACHED) vm_->AttachCurrentThread(&e, nullptr);
    return static_cast<JNIEnv*>(e);
  }

  // A Java exception here is the kit's failure, not the connector's: it becomes an Error.
  void check() const {
    JNIEnv* e = env();
    if (jthrowable error = e->ExceptionOccurred()) {
      e->ExceptionClear();
      throw Error("the agent classes failed: " + describe(error));
    }
  }

  std::string describe(jthrowable error) const {
    JNIEnv* e = env();
    jclass cls = e->GetObjectClass(error);
    jstring s = static_cast<jstring>(
        e->CallObjectMethod(error, e->GetMethodID(cls, "toString", "()Ljava/lang/String;")));
    e->ExceptionClear();
    std::string out = utf8(s);
    drop({s, cls, error});
    return out;
  }

  // The id of the agent class's method `name` (`isStatic`: a static one).
  jmethodID methodId(bool isStatic, const char* name, const char* sig) const {
    jmethodID mid =
        isStatic ? env()->GetStaticMethodID(cls_, name, sig) : env()->GetMethodID(cls_, name, sig);
    if (mid == nullptr) {
      env()->ExceptionClear();
      throw Error(std::string("the agent class has no ") + (isStatic ? "static " : "") + name +
                  sig);
    }
    return mid;
  }

  jmethodID id(const char* name, const char* sig) const { return methodId(false, name, sig); }

  jmethodID staticId(const char* name, const char* sig) const { return methodId(true, name, sig); }

  void callStatic(const char* name, const char* sig) const {
    env()->CallStaticVoidMethod(cls_, staticId(name, sig));
    check();
  }

  jclass findClass(const char* name) const {
    jclass c = env()->FindClass(name);
    if (c == nullptr) {
      env()->ExceptionClear();
      throw Error(std::string("the JVM has no class ") + name);
    }
    return c;
  }

  jstring text(const std::string& utf8Text) const {
    std::u16string u = toU16(utf8Text);
    return env()->NewString(reinterpret_cast<const jchar*>(u.data()), static_cast<jsize>(u.size()));
  }

  std::u16string units(jstring s) const {
    if (s == nullptr) return std::u16string();
    JNIEnv* e = env();
    jsize n = e->GetStringLength(s);
    std::u16string out(static_cast<size_t>(n), u'\0');
    e->GetStringRegion(s, 0, n, reinterpret_cast<jchar*>(&out[0]));
    return out;
  }

  std::string utf8(jstring s) const { return toUtf8(units(s)); }

  // Releases local references after a call; the call's exception, if any, is checked first.
  void drop(std::initializer_list<jobject> refs) const {
    JNIEnv* e = env();
    jthrowable pending = e->ExceptionOccurred();
    if (pending != nullptr) e->ExceptionClear();
    for (jobject r : refs)
      if (r != nullptr) e->DeleteLocalRef(r);
    if (pending != nullptr) throw Error("the agent classes failed: " + describe(pending));
  }

  template <typename F>
  void forEach(const char* getter, F&& f) {
    JNIEnv* e = env();
    jobject list = e->CallObjectMethod(agent_, id(getter, "()Ljava/util/List;"));
    check();
    jclass listCls = e->GetObjectClass(list);
    jint n = e->CallIntMethod(list, e->GetMethodID(listCls, "size", "()I"));
    check();
    jmethodID get = e->GetMethodID(listCls, "get", "(I)Ljava/lang/Object;");
    for (jint i = 0; i < n; ++i) {
      jobject item = e->CallObjectMethod(list, get, i);
      check();
      f(item);
      e->DeleteLocalRef(item);
    }
    drop({listCls, list});
  }

  std::string stringField(jobject obj, const char* name) const {
    JNIEnv* e = env();
    jclass cls = e->GetObjectClass(obj);
    jstring s = static_cast<jstring>(
        e->GetObjectField(obj, e->GetFieldID(cls, name, "Ljava/lang/String;")));
    std::string out = utf8(s);
    drop({s, cls});
    return out;
  }

  int intField(jobject obj, const char* name) const {
    JNIEnv* e = env();
    jclass cls = e->GetObjectClass(obj);
    int v = e->GetIntField(obj, e->GetFieldID(cls, name, "I"));
    drop({cls});
    return v;
  }

  // The error and fatal lines the agent was given since `from`, joined.
  std::string errorsLoggedSince(size_t from) {
    std::vector<LogLine> all = logs();
    std::string out;
    for (size_t i = from; i < all.size(); ++i) {
      int severity = all[i].severity;
      if (severity != KyMsgFormat::MLV_ERROR && severity != KyMsgFormat::MLV_FATAL &&
          severity != KyMsgFormat::MLV_INT_ERROR && severity != KyMsgFormat::MLV_INT_FATAL)
        continue;
      if (!out.empty()) out += "; ";
      out += all[i].text;
    }
    return out;
  }

  JavaVM* vm_;
  std::string library_;
  jclass cls_ = nullptr;
  jobject agent_ = nullptr;
  bool running_ = false;
  bool noGlobals_ = false;  // the library loaded registered no connector
  std::string lastError_;
  size_t eventsTaken_ = 0;
};

}  // namespace

std::unique_ptr<Connector> Connector::inJvm(const std::string& library, const JvmOptions& options) {
  return std::unique_ptr<Connector>(new JvmConnector(library, options));
}

}  // namespace testing
}  // namespace vy
