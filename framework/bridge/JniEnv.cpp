#include "JniEnv.hpp"

#include <dlfcn.h>

#include <atomic>

namespace vy {
namespace {

std::atomic<JavaVM*> gVm{nullptr};

// Detaches, at thread exit, a thread that this library attached.
struct AttachedThread {
  JavaVM* vm = nullptr;
  ~AttachedThread() {
    if (vm != nullptr) vm->DetachCurrentThread();
  }
};

thread_local AttachedThread tAttached;

}  // namespace

void rememberVm(JNIEnv* env) {
  if (gVm.load(std::memory_order_acquire) != nullptr || env == nullptr) return;
  JavaVM* vm = nullptr;
  if (env->GetJavaVM(&vm) == JNI_OK) gVm.store(vm, std::memory_order_release);
}

JavaVM* javaVm() {
  JavaVM* vm = gVm.load(std::memory_order_acquire);
  if (vm != nullptr) return vm;
  // The library does not link the JVM: the JVM is already in the process that loads a connector,
  // so its invocation function is found there. Outside a JVM process there is simply none.
  using GetCreated = jint (*)(JavaVM**, jsize, jsize*);
  auto getCreated = reinterpret_cast<GetCreated>(dlsym(RTLD_DEFAULT, "JNI_GetCreatedJavaVMs"));
  if (getCreated == nullptr) return nullptr;
  JavaVM* vms[1] = {nullptr};
  jsize count = 0;
  if (getCreated(vms, 1, &count) != JNI_OK || count < 1) return nullptr;
  gVm.store(vms[0], std::memory_order_release);
  return vms[0];
}

JNIEnv* currentEnv() {
  JavaVM* vm = javaVm();
  if (vm == nullptr) return nullptr;
  void* env = nullptr;
  jint rc = vm->GetEnv(&env, JNI_VERSION_1_8);
  if (rc == JNI_OK) return static_cast<JNIEnv*>(env);
  if (rc != JNI_EDETACHED) return nullptr;
  if (vm->AttachCurrentThread(&env, nullptr) != JNI_OK) return nullptr;
  tAttached.vm = vm;
  return static_cast<JNIEnv*>(env);
}

}  // namespace vy
