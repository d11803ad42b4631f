// How every native call finds the JNI environment of its thread.
//
// The JavaVM is cached the first time it is seen (from an entry point's env, or from
// JNI_GetCreatedJavaVMs). A thread that is already attached gets its environment from GetEnv; a
// thread the kit attaches itself is detached again when it ends, so a connector's own threads
// never leave a stale thread object behind in the JVM.
#ifndef VY_JNI_ENV_HPP
#define VY_JNI_ENV_HPP

#include <jni.h>

namespace vy {

// Remembers the JavaVM behind an entry point's environment. Cheap; called by every entry point.
void rememberVm(JNIEnv* env);

// The cached JavaVM, found through JNI_GetCreatedJavaVMs on first use; null when no JVM exists.
JavaVM* javaVm();

// The calling thread's environment, attaching the thread when needed (and detaching it at thread
// exit). Null only when no JVM exists in the process.
JNIEnv* currentEnv();

// Deletes a local reference at scope exit (allowed with a Java exception pending). Null is fine.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject obj) : env_(env), obj_(obj) {}
  ~LocalRef() {
    if (obj_ != nullptr) env_->DeleteLocalRef(obj_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  jobject get() const { return obj_; }
  // Holds `obj` instead, deleting the reference held before.
  void reset(jobject obj) {
    if (obj_ != nullptr) env_->DeleteLocalRef(obj_);
    obj_ = obj;
  }
  // Hands the reference to the caller (a native method's answer), which then owns it.
  jobject release() {
    jobject obj = obj_;
    obj_ = nullptr;
    return obj;
  }
  template <typename T>
  T as() const {
    return static_cast<T>(obj_);
  }

 private:
  JNIEnv* env_;
  jobject obj_;
};

}  // namespace vy

#endif  // VY_JNI_ENV_HPP
