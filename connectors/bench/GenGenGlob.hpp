// The benchmark connector's globals: hands every business object type the one shared
// GenBOHandler, logs its name at init, raises no events.
//
// Ownership: the handler is created on the first getBOHandlerforBO and lives as long as the
// process. The pending-event set refers to events it does not own. Threads: every operation may
// be called from any agent thread; the pending set is guarded.
#ifndef VY_BENCH_GEN_GEN_GLOB_HPP
#define VY_BENCH_GEN_GEN_GLOB_HPP

#include <mutex>

#include "GenGlobals.hpp"
#include "PtrSet.hpp"

class PendingEvent;

class GenGenGlob : public GenGlobals {
 public:
  // Seeds the C library's generator, which gives created objects their new key values, from
  // the clock.
  GenGenGlob();
  ~GenGenGlob() override;

  // The one shared handler, whatever the name.
  BOHandlerCPP* getBOHandlerforBO(char* boName) override;
  // Logs connector message 28 with the connector name and traces the name; returns 0.
  int init(KyVersion* version) override;
  // Raises nothing; returns 0.
  int pollForEvents() override;
  int terminate() override;
  // "3.0.1".
  char* getVersion() override;

  // The pending set holds each event once; adding one already held, or removing one not held,
  // changes nothing. Null is never held.
  void addPendList(PendingEvent* event);
  void removePendList(PendingEvent* event);
  // What the pending set holds.
  unsigned int pendingCount();
  bool isPending(PendingEvent* event);

 private:
  std::mutex pendLock;
  PtrSet<PendingEvent> pendList;
};

#endif  // VY_BENCH_GEN_GEN_GLOB_HPP
