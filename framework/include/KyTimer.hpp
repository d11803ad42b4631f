// The clock of the performance flows.
#ifndef VY_KY_TIMER_HPP
#define VY_KY_TIMER_HPP

#include "VyExport.hpp"

class VY_EXPORT KyTimer {
 public:
  // Elapsed wall-clock time in milliseconds from a monotonic clock (not processor time, so time a
  // call spends waiting on the application counts), counted from the first reading in the
  // process. Any thread may call it.
  static long getCurrentMilli();
};

#endif  // VY_KY_TIMER_HPP
