#include "PointerHash.hpp"

#include <cstdint>

PointerHash::~PointerHash() = default;

unsigned long PointerHash::hash() const {
  // Only the low 32 bits of the address take part, whatever the word size.
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ptr_)) >> 2;
}

int PointerHash::isEqual(const Hashable& other) const {
  return static_cast<const PointerHash&>(other).ptr_ == ptr_;
}
