// A table entry standing for one pointer: the node of GenPtrSet.
//
// Its hash is the pointer's low 32 bits shifted right by 2, so pointers 4 bytes apart hash to
// consecutive values. The entry never owns or dereferences the pointer.
#ifndef VY_POINTERHASH_HPP
#define VY_POINTERHASH_HPP

#include "Hashable.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API PointerHash : public Hashable {
 public:
  explicit PointerHash(void* ptr) : ptr_(ptr) {}
  ~PointerHash() override;

  unsigned long hash() const override;
  // Equal when other (a PointerHash) holds the same pointer.
  int isEqual(const Hashable& other) const override;

  void* getPtr() const { return ptr_; }

 private:
  void* ptr_;
};

#endif  // VY_POINTERHASH_HPP
