#include "GenFlexArray.hpp"

#include <cstdlib>
#include <cstring>
#include <iostream>

const unsigned int DEFAULT_ARRAY_SIZE = 16;

namespace {

// Storage for n slots; never null (one slot is kept even for n == 0, so realloc never frees).
void** allocateSlots(void** old, unsigned int n) {
  size_t count = n == 0 ? 1 : n;
  void* p = std::realloc(old, count * sizeof(void*));
  if (p == nullptr) {
    std::cerr << "[INSUFMEM] No arrayspace left" << std::endl;
    std::abort();
  }
  return static_cast<void**>(p);
}

}  // namespace

GenFlexArray::GenFlexArray(unsigned int n)
    : slots_(nullptr), size_(n == 0 ? DEFAULT_ARRAY_SIZE : n) {
  // Slots start null so a table built on them never reads garbage.
  slots_ = allocateSlots(nullptr, size_);
  clear(nullptr);
}

GenFlexArray::GenFlexArray(const GenFlexArray& other)
    : slots_(allocateSlots(nullptr, other.size_)), size_(other.size_) {
  if (size_ > 0) std::memcpy(slots_, other.slots_, size_ * sizeof(void*));
}

GenFlexArray& GenFlexArray::operator=(const GenFlexArray& other) {
  if (this == &other) return *this;
  void** copy = allocateSlots(nullptr, other.size_);
  if (other.size_ > 0) std::memcpy(copy, other.slots_, other.size_ * sizeof(void*));
  std::free(slots_);
  slots_ = copy;
  size_ = other.size_;
  return *this;
}

GenFlexArray::~GenFlexArray() { std::free(slots_); }

void GenFlexArray::reSize(unsigned int n) {
  slots_ = allocateSlots(slots_, n);
  for (unsigned int i = size_; i < n; ++i) slots_[i] = nullptr;
  size_ = n;
}

void GenFlexArray::clear(void* v) {
  for (unsigned int i = 0; i < size_; ++i) slots_[i] = v;
}
