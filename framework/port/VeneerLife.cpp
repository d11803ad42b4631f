#include "VeneerLife.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace vy {
namespace {

// Users are counted with atomics so that a use costs two atomic operations while no retirement
// is under way; the mutex and condition variable are only for waiting.
std::atomic<int> gUsers{0};
std::atomic<bool> gRetiring{false};
std::mutex gWait;
std::condition_variable gChanged;
std::mutex gRetirements;  // one retirement at a time

// Uses (and a retirement) held by the calling thread.
thread_local int tDepth = 0;

void wake() {
  { std::lock_guard<std::mutex> guard(gWait); }
  gChanged.notify_all();
}

}  // namespace

VeneerUse::VeneerUse() : counted_(tDepth++ == 0) {
  if (!counted_) return;
  for (;;) {
    gUsers.fetch_add(1);
    if (!gRetiring.load()) return;
    // A retirement is under way: step back and wait for it to end.
    if (gUsers.fetch_sub(1) == 1) wake();
    std::unique_lock<std::mutex> lock(gWait);
    gChanged.wait(lock, [] { return !gRetiring.load(); });
  }
}

VeneerUse::~VeneerUse() {
  --tDepth;
  if (counted_ && gUsers.fetch_sub(1) == 1 && gRetiring.load()) wake();
}

VeneerRetire::VeneerRetire() : turn_(gRetirements) {
  const int own = tDepth > 0 ? 1 : 0;  // this thread's own use, if any, cannot end first
  ++tDepth;                            // callbacks made while retiring need no use of their own
  gRetiring.store(true);
  std::unique_lock<std::mutex> lock(gWait);
  gChanged.wait(lock, [own] { return gUsers.load() <= own; });
}

VeneerRetire::~VeneerRetire() {
  {
    std::lock_guard<std::mutex> guard(gWait);
    gRetiring.store(false);
  }
  gChanged.notify_all();
  --tDepth;
  // turn_, released after this, lets the next retirement in.
}

}  // namespace vy
