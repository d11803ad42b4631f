// Creating the process's JVM, for the code that embeds one (the test kit's JVM mode, the tests'
// and the fuzz targets' harnesses): option texts as strings, and optionally the vfprintf hook
// through which the JVM prints its own messages (-Xcheck:jni warnings among them).
#ifndef VY_JVM_START_HPP
#define VY_JVM_START_HPP

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace vy {

using JvmPrintHook = jint(JNICALL*)(FILE* stream, const char* format, va_list args);

// Creates the JVM with `options` (JNI 1.8; an option the JVM does not know is an error) and, when
// `print` is given, that hook for what the JVM prints. Returns JNI_CreateJavaVM's answer; on
// JNI_OK, *vm and *env are set. Only one JVM can ever be created in a process.
inline jint startJvm(const std::vector<std::string>& options, JvmPrintHook print, JavaVM** vm,
                     JNIEnv** env) {
  std::vector<JavaVMOption> opts;
  for (const std::string& text : options)
    opts.push_back({const_cast<char*>(text.c_str()), nullptr});
  if (print != nullptr)
    opts.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(print)});
  JavaVMInitArgs args;
  args.version = JNI_VERSION_1_8;
  args.nOptions = static_cast<jint>(opts.size());
  args.options = opts.empty() ? nullptr : opts.data();
  args.ignoreUnrecognized = JNI_FALSE;
  return JNI_CreateJavaVM(vm, reinterpret_cast<void**>(env), &args);
}

}  // namespace vy

#endif  // VY_JVM_START_HPP
