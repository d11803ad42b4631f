// The process's resident size, for the soaks that watch it.
#ifndef VY_TEST_RESIDENT_SIZE_HPP
#define VY_TEST_RESIDENT_SIZE_HPP

#include <unistd.h>

#include <cstdio>

namespace vytest {

// Resident kilobytes from /proc/self/statm; -1 when it cannot be read.
inline long residentKb() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return -1;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(f);
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace vytest

#endif  // VY_TEST_RESIDENT_SIZE_HPP
