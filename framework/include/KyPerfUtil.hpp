// The performance monitor: creates and times flows and keeps the registry of flows updated since
// the last report. The registry is guarded: update and getAllFlows may run on several threads.
// Timing costs nothing when the perf level is 0 or less.
#ifndef VY_KY_PERF_UTIL_HPP
#define VY_KY_PERF_UTIL_HPP

#include "String.hpp"
#include "VyExport.hpp"

class KyPerfFlow;

class VY_EXPORT KyPerfUtil {
 public:
  static constexpr int RESULT_UPDATE_FAIL = -1;
  static constexpr int RESULT_UPDATE_SUCCESS = 0;
  static constexpr int RESULT_UPDATE_NEW = 1;

  // New flows; the caller owns them.
  static KyPerfFlow* createPerfFlow();
  static KyPerfFlow* createPerfFlow(const String first, const String second);
  static void startTimer(KyPerfFlow* flow);
  static void stopTimer(KyPerfFlow* flow);
  // Adds one measurement: RESULT_UPDATE_NEW when the flow enters the registry, SUCCESS when it
  // was there, FAIL when not started or stopped.
  static int update(KyPerfFlow* flow);
  // The flows updated since the last call, in registry order; empties the registry. The caller
  // owns the array (delete[]), not the flows.
  static KyPerfFlow** getAllFlows(int* count);
  // Takes a flow out of the registry (before its owner deletes it). No other call may be timing
  // or reporting the flow at the same time.
  static void forget(KyPerfFlow* flow);
  static void setPerf(int level);
  static int getPerf();
};

#endif  // VY_KY_PERF_UTIL_HPP
