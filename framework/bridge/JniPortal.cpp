#include "JniPortal.hpp"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "BridgeState.hpp"
#include "JniEnv.hpp"

namespace vy {

void GlobalRef::assign(JNIEnv* env, jobject obj) {
  jobject fresh = obj != nullptr ? env->NewGlobalRef(obj) : nullptr;
  reset(env);
  obj_ = fresh;
}

void GlobalRef::reset(JNIEnv* env) {
  if (obj_ != nullptr && env != nullptr) env->DeleteGlobalRef(obj_);
  obj_ = nullptr;
}

namespace {

// Everything the portal owns. Never destroyed: its references go at JNI_OnUnload, not at exit.
struct Portal {
  GlobalRef rtnStatusDesp, busObjNativeInterface, stringBucket;
  AgentIds agent;
  GlobalRef string, charset, illegalArgument;
  ConversionIds conversion;
  std::atomic<bool> conversionReady{false};
  std::mutex conversionLock;
};

Portal& portal() {
  static Portal* p = new Portal();
  return *p;
}

jclass loadClass(JNIEnv* env, GlobalRef& holder, const char* name, const char* what,
                 const char* file) {
  if (!holder) {
    LocalRef local(env, env->FindClass(name));
    if (local.get() == nullptr) {
      catchJavaErrors(env);
      environmentFailure(what, file);
    }
    holder.assign(env, local.get());
  }
  return holder.as<jclass>();
}

// A method the agent may lack (null then).
jmethodID optionalMethod(JNIEnv* env, jclass cls, const char* name, const char* sig,
                         bool isStatic) {
  jmethodID mid =
      isStatic ? env->GetStaticMethodID(cls, name, sig) : env->GetMethodID(cls, name, sig);
  if (mid == nullptr) env->ExceptionClear();
  return mid;
}

constexpr char kConversionFile[] = "KyConversion";

// A JDK method the conversions cannot do without.
jmethodID requiredMethod(JNIEnv* env, jclass cls, const char* name, const char* sig,
                         const char* what, bool isStatic = false) {
  jmethodID mid =
      isStatic ? env->GetStaticMethodID(cls, name, sig) : env->GetMethodID(cls, name, sig);
  if (mid == nullptr) {
    catchJavaErrors(env);
    environmentFailure(what, kConversionFile);
  }
  return mid;
}

}  // namespace

const AgentIds& agentIds() { return portal().agent; }

void loadAgentClasses(JNIEnv* env) {
  Portal& p = portal();
  AgentIds ids;
  ids.rtnStatusDesp = loadClass(env, p.rtnStatusDesp, "KyCommon/ReturnStatusDescriptor",
                                "jclsRtnStatusDesp != NULL", "BusObjNativeImpl");
  ids.busObjNativeInterface =
      loadClass(env, p.busObjNativeInterface, "AppSide_Connector/BusObjNativeInterface",
                "jclsBusObjNativeInterface != NULL", "BusObjNativeImpl");
  ids.stringBucket = loadClass(env, p.stringBucket, "AppSide_Connector/StringBucket",
                               "jclsStringBucket != NULL", "BusObjNativeImpl");

  jclass a = ids.busObjNativeInterface;
  const char* str1 = "(Ljava/lang/String;)Ljava/lang/String;";
  ids.getConfigProp = optionalMethod(env, a, "getConfigProp", str1, true);
  ids.getDeltaSupport = optionalMethod(env, a, "getDeltaSupport", str1, true);
  ids.logMsg = optionalMethod(env, a, "logMsg", "(Ljava/lang/String;)V", false);
  ids.logMsgSeverity = optionalMethod(env, a, "logMsg", "(Ljava/lang/String;I)V", false);
  ids.traceWrite = optionalMethod(
      env, a, "TraceWrite",
      "(Ljava/lang/String;ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", false);
  ids.generateMsg = optionalMethod(
      env, a, "generateMsg", "(IILjava/lang/String;IILjava/lang/String;)Ljava/lang/String;", false);
  ids.getCollabNames = optionalMethod(env, a, "getCollabNames", "()Ljava/lang/String;", false);
  ids.isAgentCapableOfPolling = optionalMethod(env, a, "isAgentCapableOfPolling", "()Z", false);
  ids.getEncoding = optionalMethod(env, a, "getEncoding", "()Ljava/lang/String;", false);
  ids.getLocale = optionalMethod(env, a, "getLocale", "()Ljava/lang/String;", false);
  ids.gotEventFromApp = optionalMethod(env, a, "GotEventFromApp", "(Ljava/lang/String;)I", false);
  ids.consumeSync = optionalMethod(
      env, a, "consumeSync",
      "(Ljava/lang/String;LAppSide_Connector/StringBucket;LAppSide_Connector/StringBucket;)V",
      false);
  ids.bucketInit = optionalMethod(env, ids.stringBucket, "<init>", "(Ljava/lang/String;)V", false);
  ids.bucketContent = env->GetFieldID(ids.stringBucket, "content", "Ljava/lang/String;");
  if (ids.bucketContent == nullptr) env->ExceptionClear();
  ids.setErrorString =
      optionalMethod(env, ids.rtnStatusDesp, "setErrorString", "(Ljava/lang/String;)V", false);
  p.agent = ids;
}

bool initConversionIds(JNIEnv* env) {
  Portal& p = portal();
  if (p.conversionReady.load(std::memory_order_acquire)) return true;
  if (env == nullptr) return false;
  std::lock_guard<std::mutex> guard(p.conversionLock);
  if (p.conversionReady.load(std::memory_order_relaxed)) return true;
  ConversionIds ids;
  ids.string = loadClass(env, p.string, "java/lang/String", "jclsString != NULL", kConversionFile);
  ids.newMbcs = requiredMethod(env, ids.string, "<init>", "([BLjava/lang/String;)V",
                               "jmidStringNewMBCS != NULL");
  ids.getBytes = requiredMethod(env, ids.string, "getBytes", "(Ljava/lang/String;)[B",
                                "jmidStringGetBytes != NULL");
  ids.charset =
      loadClass(env, p.charset, "java/nio/charset/Charset", "jclsCharset != NULL", kConversionFile);
  ids.forName =
      requiredMethod(env, ids.charset, "forName", "(Ljava/lang/String;)Ljava/nio/charset/Charset;",
                     "jmidCharsetForName != NULL", true);
  ids.canonicalName =
      requiredMethod(env, ids.charset, "name", "()Ljava/lang/String;", "jmidCharsetName != NULL");
  ids.illegalArgument = loadClass(env, p.illegalArgument, "java/lang/IllegalArgumentException",
                                  "jclsIllegalArgument != NULL", kConversionFile);
  p.conversion = ids;
  p.conversionReady.store(true, std::memory_order_release);
  return true;
}

const ConversionIds& conversionIds() { return portal().conversion; }

void releasePortal(JNIEnv* env) {
  Portal& p = portal();
  {
    std::lock_guard<std::mutex> guard(p.conversionLock);
    p.conversionReady.store(false, std::memory_order_release);
    p.conversion = ConversionIds();
    for (GlobalRef* ref : {&p.string, &p.charset, &p.illegalArgument}) ref->reset(env);
  }
  p.agent = AgentIds();
  for (GlobalRef* ref : {&p.rtnStatusDesp, &p.busObjNativeInterface, &p.stringBucket})
    ref->reset(env);
}

}  // namespace vy

// The JVM unloads the library together with the class loader that loaded it: the references the
// portal holds go with it. (Nothing is released at process exit, when the JVM may be gone.)
extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void*) {
  void* env = nullptr;
  if (vm == nullptr || vm->GetEnv(&env, JNI_VERSION_1_8) != JNI_OK) return;
  vy::releasePortal(static_cast<JNIEnv*>(env));
}
