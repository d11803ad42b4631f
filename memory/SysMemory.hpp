// The memory figures that libSysMemory reports to the Java memory service
// (Server.MemoryServices.MemoryService): how much memory this process occupies and how much
// physical memory the system still has free.
//
// Figures are byte counts carried in full 64-bit width, so a process image past 2 GiB reports
// its true size. The library keeps no state: every call opens, reads and releases its own
// resources, so any thread may call any function at any time. Nothing is thrown; failures are
// reported by the result and, where stated, one line of text. The one exception is the test seam
// vySysMemorySetSources below, which tests use to make the sources fail on purpose.

#ifndef VY_MEMORY_SYSMEMORY_HPP_
#define VY_MEMORY_SYSMEMORY_HPP_

#include <jni.h>

#include <cstdint>

extern "C" {

// The virtual size of the current process in bytes (the page count in the first field of
// /proc/self/statm times the page size). Returns 0 on failure: when the file cannot be opened
// ("Unable to open the proc directory" on standard error) or its first field cannot be read
// ("Unable to read the statm" on standard output).
JNIEXPORT int64_t getCurrentProcessMemory();

// The physical memory still available to the system in bytes (available pages times the page
// size). Returns 0 when either query fails or yields no pages.
JNIEXPORT int64_t getCurrentAvailableSystemMemory();

// ---- test seam ----
// The operating-system sources can be replaced to exercise the failure paths, which a healthy
// system never takes (a short or unreadable statm, a failing sysconf). Production code never
// calls this.
typedef long (*VySysconfQuery)(int name);

// Reads the process figure from `statmPath` instead of /proc/self/statm and asks `sysconfQuery`
// instead of sysconf (the page size and the available pages). Null restores each default. The
// path is not copied: it must stay valid until it is replaced. Calls already running finish with
// the sources they started with.
JNIEXPORT void vySysMemorySetSources(const char* statmPath, VySysconfQuery sysconfQuery);

}  // extern "C"

#endif  // VY_MEMORY_SYSMEMORY_HPP_
