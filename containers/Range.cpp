#include "Range.hpp"

#include <ostream>

bool Range::isValidFor(unsigned int textLength) const {
  if (start_ < 0 || length_ < 0) return false;
  return static_cast<long long>(start_) + length_ <= static_cast<long long>(textLength);
}

void Range::printOn(std::ostream& os) const { os << start_ << ":" << length_; }

std::ostream& operator<<(std::ostream& os, const Range& r) {
  r.printOn(os);
  return os;
}
