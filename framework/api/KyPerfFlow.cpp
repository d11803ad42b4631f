#include "KyPerfFlow.hpp"

#include <cstdio>

const char KyPerfFlow::DEFAULT_SEPARATOR = '~';
int KyPerfFlow::HASH_COUNTER = 0;
int KyPerfFlow::objectVersion = 1;
// String's empty representation is constant-initialised, so this constructor is safe whatever
// order the library's static objects are built in. The kit's own code uses String() instead, so
// nothing depends on this object having been built yet.
const String KyPerfFlow::EMPTY_STRING;

namespace {

int nextId() { return __atomic_fetch_add(&KyPerfFlow::HASH_COUNTER, 1, __ATOMIC_RELAXED); }

}  // namespace

std::mutex& KyPerfFlow::registryLock() {
  // Never destroyed: a thread still timing while the process exits must find it usable.
  static std::mutex* lock = new std::mutex;
  return *lock;
}

KyPerfFlow::KyPerfFlow() : start(-1), stop(-1), total(0), count(0), ID(0) { clear(); }

void KyPerfFlow::init(const String first, const String second) {
  firstName = first;
  secondName = second;
  ID = nextId();
}

void KyPerfFlow::clear() {
  firstName = String();
  secondName = String();
  ID = nextId();
  start = -1;
  stop = -1;
  std::lock_guard<std::mutex> guard(registryLock());
  total = 0;
  count = 0;
}

int KyPerfFlow::toString(char* buffer, int size) const {
  int average;
  {
    std::lock_guard<std::mutex> guard(registryLock());
    average = count == 0 ? 0 : total / count;
  }
  // size - 1 bytes at most, so size - 2 characters and the terminator; a size of 1 or less only
  // measures the text (buffer may then be null).
  const size_t room = size > 1 ? static_cast<size_t>(size - 1) : 0;
  return std::snprintf(room > 0 ? buffer : nullptr, room, "%s%c%s%c%d%c", firstName.chars(),
                       DEFAULT_SEPARATOR, secondName.chars(), DEFAULT_SEPARATOR, average,
                       DEFAULT_SEPARATOR);
}
