// A part of a text named by its first position and its length, used to take a SubString of a
// String. A default Range is undefined (start and length -1) and fits no text.
//
// Threads: a plain value; no shared state.
#ifndef VY_RANGE_HPP
#define VY_RANGE_HPP

#include <iosfwd>

#include "VyContainerApi.hpp"

class VY_CONTAINER_API Range {
 public:
  Range() : start_(-1), length_(-1) {}
  Range(int start, int length) : start_(start), length_(length) {}

  int start() const { return start_; }
  int length() const { return length_; }
  void setStart(int start) { start_ = start; }
  void setLength(int length) { length_ = length; }

  // True when the range is defined and lies inside a text of textLength characters.
  bool isValidFor(unsigned int textLength) const;

  // Writes start, ":" and length.
  void printOn(std::ostream& os) const;

 private:
  int start_;
  int length_;
};

VY_CONTAINER_API std::ostream& operator<<(std::ostream& os, const Range& r);

#endif  // VY_RANGE_HPP
