// Records one measurement of a shared performance flow (every timed operation uses it).
#ifndef VY_PERF_RECORD_HPP
#define VY_PERF_RECORD_HPP

class KyPerfFlow;

namespace vy {
void recordPerf(KyPerfFlow* flow, long start, long stop);
}  // namespace vy

#endif  // VY_PERF_RECORD_HPP
