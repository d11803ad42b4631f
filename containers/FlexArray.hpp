// The typed face of GenFlexArray: an array of T* slots (not owned). Indexes are not checked.
#ifndef VY_FLEXARRAY_HPP
#define VY_FLEXARRAY_HPP

#include "GenFlexArray.hpp"

template <class T>
class FlexArray : public GenFlexArray {
 public:
  explicit FlexArray(unsigned int n = 0) : GenFlexArray(n) {}

  T* at(int i) const { return static_cast<T*>(GenFlexArray::at(static_cast<unsigned int>(i))); }
  void set(int i, T* v) { GenFlexArray::set(static_cast<unsigned int>(i), v); }
};

#endif  // VY_FLEXARRAY_HPP
