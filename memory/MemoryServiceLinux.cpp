// libSysMemory on Linux: the process figure comes from /proc/self/statm, the system figure from
// sysconf. The native method of Server.MemoryServices.MemoryService is declared in the header
// javac generates from the Java class, so the compiler proves its name and signature.

#include <jni.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "Server_MemoryServices_MemoryService.h"
#include "SysMemory.hpp"

namespace {

// Where the figures come from: the process's statm file and sysconf, unless a test has replaced
// them through vySysMemorySetSources.
std::atomic<const char*> gStatmPath{nullptr};
std::atomic<VySysconfQuery> gQuery{nullptr};

const char* statmPath() {
  const char* path = gStatmPath.load(std::memory_order_acquire);
  return path != nullptr ? path : "/proc/self/statm";
}

long query(int name) {
  VySysconfQuery q = gQuery.load(std::memory_order_acquire);
  return q != nullptr ? q(name) : sysconf(name);
}

// Multiplies two positive counts; 0 when the product would not fit, so an absurd figure is
// reported as "unknown" rather than as a wrapped number.
int64_t bytesOf(int64_t count, int64_t unit) {
  int64_t product = 0;
  if (count < 1 || unit < 1 || __builtin_mul_overflow(count, unit, &product)) return 0;
  return product;
}

// Looks up a long instance field. A missing field leaves NoSuchFieldError pending; it is
// cleared here because the caller reports the failure by its result, never by an exception.
jfieldID findLongField(JNIEnv* env, jclass cls, const char* name) {
  jfieldID fid = env->GetFieldID(cls, name, "J");
  if (fid == nullptr && env->ExceptionCheck()) env->ExceptionClear();
  return fid;
}

// printf, then flush: the line must reach a log in order with the JVM's own output even when
// standard output is a pipe.
void report(const char* line) {
  std::printf("%s", line);
  std::fflush(stdout);
}

}  // namespace

extern "C" {

JNIEXPORT void vySysMemorySetSources(const char* path, VySysconfQuery sysconfQuery) {
  gStatmPath.store(path, std::memory_order_release);
  gQuery.store(sysconfQuery, std::memory_order_release);
}

JNIEXPORT int64_t getCurrentProcessMemory() {
  std::FILE* statm = std::fopen(statmPath(), "r");
  if (statm == nullptr) {
    std::fprintf(stderr, "Unable to open the proc directory");
    return 0;
  }
  // The first field is the total program size in pages.
  uintmax_t pages = 0;
  const int fields = std::fscanf(statm, "%ju", &pages);
  std::fclose(statm);
  if (fields != 1 || pages > INT64_MAX) {
    report("Unable to read the statm");
    return 0;
  }
  return bytesOf(static_cast<int64_t>(pages), query(_SC_PAGESIZE));
}

JNIEXPORT int64_t getCurrentAvailableSystemMemory() {
  const long pageSize = query(_SC_PAGESIZE);
  const long pages = query(_SC_AVPHYS_PAGES);
  return bytesOf(pages, pageSize);
}

JNIEXPORT jint JNICALL Java_Server_MemoryServices_MemoryService_updateMemoryStats(JNIEnv* env,
                                                                                  jobject,
                                                                                  jobject stats) {
  // GetObjectClass on a null reference brings the JVM down; a null object is simply a failure.
  if (stats == nullptr) return 1;
  jclass cls = env->GetObjectClass(stats);
  if (cls == nullptr) return 1;

  // Both fields are found before either is written, so a wrong-shaped object is left untouched.
  jfieldID fidCurrent = findLongField(env, cls, "currentProcessMemory");
  if (fidCurrent == nullptr) {
    env->DeleteLocalRef(cls);
    report("fid_current_process_memory failed\n");
    return 1;
  }
  jfieldID fidAvailable = findLongField(env, cls, "availableSystemMemory");
  env->DeleteLocalRef(cls);
  if (fidAvailable == nullptr) {
    report("fid_avaiable_system_memory failed\n");
    return 1;
  }

  const int64_t process = getCurrentProcessMemory();
  const int64_t available = getCurrentAvailableSystemMemory();
  env->SetLongField(stats, fidCurrent, static_cast<jlong>(process));
  env->SetLongField(stats, fidAvailable, static_cast<jlong>(available));
  return 0;
}

}  // extern "C"
