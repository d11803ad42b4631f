#include "FuzzJvm.hpp"

#include <sanitizer/common_interface_defs.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AppSide_Connector_BusObjNativeInterface.h"
#include "FuzzSpecs.hpp"
#include "JvmStart.hpp"

namespace vyfuzz {
namespace {

JavaVM* gVm = nullptr;
jclass gAgentClass = nullptr;
jclass gBucketClass = nullptr;
jclass gStatusClass = nullptr;
jobject gAgent = nullptr;
jmethodID gDoVerbFor = nullptr;
jmethodID gGotSpec = nullptr;
jmethodID gBucketInit = nullptr;
jmethodID gStatusInit = nullptr;
jmethodID gGetError = nullptr;
jmethodID gClearRecords = nullptr;
jmethodID gClearProperties = nullptr;
jfieldID gBucketContent = nullptr;
std::string gPartialLine;

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "fuzz harness: %s\n", what);
  std::abort();
}

// The JVM's own output. A JNI warning from -Xcheck:jni is a fault of the kit: stop here so the
// fuzzer records the input.
extern "C" jint JNICALL watchVfprintf(FILE* stream, const char* format, va_list args) {
  char buf[4096];
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  std::fputs(buf, stream);
  gPartialLine += buf;
  size_t pos;
  while ((pos = gPartialLine.find('\n')) != std::string::npos) {
    std::string line = gPartialLine.substr(0, pos);
    gPartialLine.erase(0, pos + 1);
    if (line.find("WARNING") != std::string::npos &&
        (line.find("JNI") != std::string::npos ||
         line.find("native method") != std::string::npos)) {
      std::fflush(stream);
      // The native stack names the kit function that made the offending call.
      __sanitizer_print_stack_trace();
      die("the JVM printed a JNI warning");
    }
  }
  return n;
}

jclass globalClass(JNIEnv* e, const char* name) {
  jclass local = e->FindClass(name);
  if (local == nullptr) {
    e->ExceptionDescribe();
    die(name);
  }
  jclass global = static_cast<jclass>(e->NewGlobalRef(local));
  e->DeleteLocalRef(local);
  return global;
}

jmethodID methodOf(JNIEnv* e, jclass cls, const char* name, const char* sig) {
  jmethodID id = e->GetMethodID(cls, name, sig);
  if (id == nullptr) {
    e->ExceptionDescribe();
    die(name);
  }
  return id;
}

// The kit's native methods, bound to the agent class by hand (see the header).
void registerNatives(JNIEnv* e) {
  const JNINativeMethod methods[] = {
      {const_cast<char*>("n_init"), const_cast<char*>("(Ljava/lang/String;Ljava/lang/String;)I"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1init)},
      {const_cast<char*>("n_terminate"), const_cast<char*>("()I"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1terminate)},
      {const_cast<char*>("n_poll"), const_cast<char*>("()I"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1poll)},
      {const_cast<char*>("n_getVersion"), const_cast<char*>("()Ljava/lang/String;"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1getVersion)},
      {const_cast<char*>("n_setTraceLevel"), const_cast<char*>("(I)V"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1setTraceLevel)},
      {const_cast<char*>("n_DoVerbFor"),
       const_cast<char*>("(LAppSide_Connector/StringBucket;ZLKyCommon/ReturnStatusDescriptor;)I"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1DoVerbFor)},
      {const_cast<char*>("n_gotBusObjSpec"), const_cast<char*>("(Ljava/lang/String;)V"),
       reinterpret_cast<void*>(&Java_AppSide_1Connector_BusObjNativeInterface_n_1gotBusObjSpec)},
  };
  if (e->RegisterNatives(gAgentClass, methods, sizeof methods / sizeof methods[0]) != JNI_OK) {
    e->ExceptionDescribe();
    die("RegisterNatives");
  }
}

}  // namespace

void FuzzJvm::start() {
  if (gVm != nullptr) return;
  JNIEnv* e = nullptr;
  if (vy::startJvm({std::string("-Djava.class.path=") + VY_AGENT_JAR, "-Xcheck:jni",
                    "-XX:+UseSerialGC", "-Xmx256m", "-Xss4m", "-XX:TieredStopAtLevel=1"},
                   &watchVfprintf, &gVm, &e) != JNI_OK)
    die("JNI_CreateJavaVM");

  gAgentClass = globalClass(e, "AppSide_Connector/BusObjNativeInterface");
  gBucketClass = globalClass(e, "AppSide_Connector/StringBucket");
  gStatusClass = globalClass(e, "KyCommon/ReturnStatusDescriptor");
  registerNatives(e);
  gDoVerbFor = methodOf(e, gAgentClass, "n_DoVerbFor",
                        "(LAppSide_Connector/StringBucket;ZLKyCommon/ReturnStatusDescriptor;)I");
  gGotSpec = methodOf(e, gAgentClass, "n_gotBusObjSpec", "(Ljava/lang/String;)V");
  gClearRecords = methodOf(e, gAgentClass, "clearRecords", "()V");
  gClearProperties = e->GetStaticMethodID(gAgentClass, "clearProperties", "()V");
  gBucketInit = methodOf(e, gBucketClass, "<init>", "(Ljava/lang/String;)V");
  gStatusInit = methodOf(e, gStatusClass, "<init>", "()V");
  gGetError = methodOf(e, gStatusClass, "getErrorString", "()Ljava/lang/String;");
  gBucketContent = e->GetFieldID(gBucketClass, "content", "Ljava/lang/String;");
  if (gClearProperties == nullptr || gBucketContent == nullptr) die("agent members");

  jobject local = e->NewObject(gAgentClass, methodOf(e, gAgentClass, "<init>", "()V"));
  requireNoException("new agent");
  gAgent = e->NewGlobalRef(local);
  e->DeleteLocalRef(local);
  // The fuzz loop would otherwise fill the agent's record lists without end.
  e->CallVoidMethod(gAgent, methodOf(e, gAgentClass, "setRecording", "(Z)V"), JNI_FALSE);
  requireNoException("setRecording");

  jstring version = e->NewStringUTF("4.1.0");
  jstring dll = e->NewStringUTF("fuzz");
  jint rc = e->CallIntMethod(
      gAgent, methodOf(e, gAgentClass, "n_init", "(Ljava/lang/String;Ljava/lang/String;)I"),
      version, dll);
  e->DeleteLocalRef(version);
  e->DeleteLocalRef(dll);
  requireNoException("n_init");
  if (rc != 0) die("n_init refused");

  for (const std::u16string& spec : FuzzSpecs::all()) announceSpec(spec);
}

void FuzzJvm::initialize(int* argc, char*** argv) {
  static const char* const kFlags[] = {"-handle_segv=0", "-handle_bus=0",  "-handle_fpe=0",
                                       "-handle_ill=0",  "-handle_usr1=0", "-handle_usr2=0"};
  const int extra = sizeof kFlags / sizeof kFlags[0];
  // libFuzzer reads its flags after this call; later flags win, so the caller's still rule.
  static std::vector<char*> args;
  args.push_back((*argv)[0]);
  for (const char* f : kFlags) args.push_back(const_cast<char*>(f));
  for (int i = 1; i < *argc; ++i) args.push_back((*argv)[i]);
  args.push_back(nullptr);
  *argc += extra;
  *argv = args.data();
  start();
}

JNIEnv* FuzzJvm::env() {
  void* e = nullptr;
  if (gVm->GetEnv(&e, JNI_VERSION_1_8) != JNI_OK) die("GetEnv");
  return static_cast<JNIEnv*>(e);
}

jobject FuzzJvm::agent() { return gAgent; }

void FuzzJvm::requireNoException(const char* what) {
  JNIEnv* e = env();
  if (e->ExceptionCheck()) {
    e->ExceptionDescribe();
    die(what);
  }
}

void FuzzJvm::announceSpec(const std::u16string& specText) {
  JNIEnv* e = env();
  jstring text = e->NewString(reinterpret_cast<const jchar*>(specText.data()),
                              static_cast<jsize>(specText.size()));
  if (text == nullptr) die("NewString");
  e->CallVoidMethod(gAgent, gGotSpec, text);
  requireNoException("n_gotBusObjSpec");
  e->DeleteLocalRef(text);
}

VerbOutcome FuzzJvm::doVerbFor(const std::u16string& content, bool transactional) {
  JNIEnv* e = env();
  jstring text = e->NewString(reinterpret_cast<const jchar*>(content.data()),
                              static_cast<jsize>(content.size()));
  jobject bucket = e->NewObject(gBucketClass, gBucketInit, text);
  requireNoException("new bucket");
  jobject status = e->NewObject(gStatusClass, gStatusInit);
  requireNoException("new status");
  if (text == nullptr || bucket == nullptr || status == nullptr) die("bucket");
  VerbOutcome out;
  out.status =
      e->CallIntMethod(gAgent, gDoVerbFor, bucket, transactional ? JNI_TRUE : JNI_FALSE, status);
  requireNoException("n_DoVerbFor");
  auto after = static_cast<jstring>(e->GetObjectField(bucket, gBucketContent));
  if (after != nullptr) {
    jsize n = e->GetStringLength(after);
    out.content.resize(static_cast<size_t>(n));
    e->GetStringRegion(after, 0, n, reinterpret_cast<jchar*>(&out.content[0]));
    e->DeleteLocalRef(after);
  }
  auto error = static_cast<jstring>(e->CallObjectMethod(status, gGetError));
  requireNoException("getErrorString");
  out.hasError = error != nullptr;
  if (error != nullptr) e->DeleteLocalRef(error);
  e->DeleteLocalRef(text);
  e->DeleteLocalRef(bucket);
  e->DeleteLocalRef(status);
  return out;
}

void FuzzJvm::clearRecords() {
  JNIEnv* e = env();
  e->CallVoidMethod(gAgent, gClearRecords);
  requireNoException("clearRecords");
  e->CallStaticVoidMethod(gAgentClass, gClearProperties);
  requireNoException("clearProperties");
}

}  // namespace vyfuzz
