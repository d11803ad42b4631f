// Records one measurement of a shared performance flow (every timed operation uses it).
#ifndef VY_PERF_RECORD_HPP
#define VY_PERF_RECORD_HPP

class JToCPPVeneer;
class KyPerfFlow;

namespace vy {
void recordPerf(KyPerfFlow* flow, long start, long stop);

// The one timing of a verb: from construction to destruction, in the "doverbfor" flow of
// `veneer` when monitoring is on (nothing otherwise, and nothing for a null veneer).
class VerbTiming {
 public:
  explicit VerbTiming(JToCPPVeneer* veneer);
  ~VerbTiming();
  VerbTiming(const VerbTiming&) = delete;
  VerbTiming& operator=(const VerbTiming&) = delete;

 private:
  KyPerfFlow* flow_;
  long start_;
};
}  // namespace vy

#endif  // VY_PERF_RECORD_HPP
