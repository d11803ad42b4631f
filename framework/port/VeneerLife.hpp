// The running veneer (its subscriptions, tracing and agent object) may be used by any thread: an
// agent thread in a request, a connector thread raising an event or tracing. n_terminate (and a
// second n_init) retire it while such threads may still be inside it.
//
// A VeneerUse marks the calling thread as using the current veneer for its scope; a
// VeneerRetire waits until every use on other threads has ended and keeps new ones waiting until
// it is destroyed, so the veneer can be deleted in between. Uses nest on one thread (only the
// outermost counts), and a retirement started on a thread that is itself inside a use (an agent
// terminating from inside a callback) waits only for the other threads.
#ifndef VY_VENEER_LIFE_HPP
#define VY_VENEER_LIFE_HPP

#include <mutex>

namespace vy {

class VeneerUse {
 public:
  VeneerUse();
  ~VeneerUse();
  VeneerUse(const VeneerUse&) = delete;
  VeneerUse& operator=(const VeneerUse&) = delete;

 private:
  bool counted_;
};

// Not copied: it holds the process's one turn to retire.
class VeneerRetire {
 public:
  VeneerRetire();
  ~VeneerRetire();

 private:
  std::unique_lock<std::mutex> turn_;  // one retirement at a time
};

}  // namespace vy

#endif  // VY_VENEER_LIFE_HPP
