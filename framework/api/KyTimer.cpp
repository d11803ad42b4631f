#include "KyTimer.hpp"

#include <chrono>

namespace {

// The clock starts near 0 at the first reading, so the flows' int fields hold ~24 days of
// process life before they wrap; a monotonic clock never steps back when the wall clock is set.
std::chrono::steady_clock::time_point origin() {
  static const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  return start;
}

}  // namespace

long KyTimer::getCurrentMilli() {
  const auto elapsed = std::chrono::steady_clock::now() - origin();
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}
