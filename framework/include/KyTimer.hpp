// The clock of the performance flows.
#ifndef VY_KY_TIMER_HPP
#define VY_KY_TIMER_HPP

#include "VyExport.hpp"

class VY_EXPORT KyTimer {
 public:
  // Elapsed wall time in milliseconds from a monotonic clock.
  static long getCurrentMilli();
};

#endif  // VY_KY_TIMER_HPP
