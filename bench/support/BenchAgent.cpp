#include "BenchAgent.hpp"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace vybench {

namespace {

// Starts an agent the way the harness does: load the kit through the agent class, then n_init.
bool startAgent(JNIEnv* e) {
  jclass cls = e->FindClass("AppSide_Connector/BusObjNativeInterface");
  if (cls == nullptr) return false;
  // The kit's own file, found through one of its C exports.
  void* self = dlopen("libVyConnector.so.4", RTLD_NOW | RTLD_NOLOAD);
  void* symbol = self != nullptr ? dlsym(self, "CallJavaForGetEncoding") : nullptr;
  Dl_info info;
  if (symbol == nullptr || dladdr(symbol, &info) == 0) return false;
  jmethodID load = e->GetStaticMethodID(cls, "loadConnectorFile", "(Ljava/lang/String;)V");
  if (load == nullptr) return false;
  jstring lib = e->NewStringUTF(info.dli_fname);
  e->CallStaticVoidMethod(cls, load, lib);
  if (e->ExceptionCheck()) return false;
  jmethodID ctor = e->GetMethodID(cls, "<init>", "()V");
  if (ctor == nullptr) return false;
  jobject agent = e->NewObject(cls, ctor);
  if (agent == nullptr) return false;
  jmethodID init = e->GetMethodID(cls, "n_init", "(Ljava/lang/String;Ljava/lang/String;)I");
  if (init == nullptr) return false;
  e->CallIntMethod(agent, init, e->NewStringUTF("4.1.0"), e->NewStringUTF("bench"));
  if (e->ExceptionCheck()) return false;
  e->NewGlobalRef(agent);  // kept for the run
  return true;
}

}  // namespace

std::string exeDir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = '\0';
  std::string s(path);
  return s.substr(0, s.rfind('/'));
}

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}

JNIEnv* createJvm(const std::vector<std::string>& options, std::string* why) {
  std::vector<JavaVMOption> jvmOptions(options.size());
  for (size_t i = 0; i < options.size(); ++i) {
    jvmOptions[i].optionString = const_cast<char*>(options[i].c_str());
    jvmOptions[i].extraInfo = nullptr;
  }
  JavaVMInitArgs args;
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(jvmOptions.size());
  args.options = jvmOptions.empty() ? nullptr : jvmOptions.data();
  args.ignoreUnrecognized = JNI_FALSE;
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) {
    *why = "cannot create the JVM";
    return nullptr;
  }
  return env;
}

JNIEnv* startJvmAndAgent(std::string* why) {
  std::string cp = "-Djava.class.path=" + envOr("VY_AGENT_JAR", exeDir() + "/../java/vyagent.jar");
  JNIEnv* env = createJvm({cp}, why);
  if (env == nullptr) return nullptr;
  if (!startAgent(env)) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    *why = "cannot start the agent (" + cp + ")";
    return nullptr;
  }
  return env;
}

int startFailed(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  return 2;
}

int runBenchmarks(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace vybench
