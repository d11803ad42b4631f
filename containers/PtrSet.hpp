// The typed face of GenPtrSet: a set of T* (not owned). See GenPtrSet for the contract.
#ifndef VY_PTRSET_HPP
#define VY_PTRSET_HPP

#include "GenPtrSet.hpp"

template <class T>
class PtrSet : public GenPtrSet {
 public:
  explicit PtrSet(unsigned int size = DEFAULT_SIZE) : GenPtrSet(size) {}

  int add(T* p) { return GenPtrSet::add(p); }
  void remove(T* p) { GenPtrSet::remove(p); }
  int isPresent(T* p) const { return GenPtrSet::isPresent(p); }
  T* first() { return static_cast<T*>(GenPtrSet::first()); }
  T* next() { return static_cast<T*>(GenPtrSet::next()); }
  static T* pointerOf(const Hashable* node) { return static_cast<T*>(GenPtrSet::pointerOf(node)); }
};

#endif  // VY_PTRSET_HPP
