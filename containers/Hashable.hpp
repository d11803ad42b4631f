// The abstract element of a HashTbl: everything filed by key in the framework derives from it.
//
// Contract: equal elements (isEqual) must have equal hash() values. A table compares an element
// only with elements of the same kind, so isEqual may take the other element to be of its own
// class.
#ifndef VY_HASHABLE_HPP
#define VY_HASHABLE_HPP

#include "VyContainerApi.hpp"

class VY_CONTAINER_API Hashable {
 public:
  virtual ~Hashable();
  // Only the low 32 bits take part in placing the element.
  virtual unsigned long hash() const = 0;
  // Non-zero when this element and other stand for the same key.
  virtual int isEqual(const Hashable& other) const = 0;
};

#endif  // VY_HASHABLE_HPP
