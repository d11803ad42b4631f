// A growable array of word-sized slots (void*), the slot store of HashTbl.
//
// Ownership: the array owns its slot storage (malloc/realloc/free), never what the slots point
// at. Slots are null until set. Indexes are not checked: i must be below size().
// Failures: exhausted memory writes "[INSUFMEM] No arrayspace left" on standard error and aborts.
// Threads: one thread at a time.
#ifndef VY_GENFLEXARRAY_HPP
#define VY_GENFLEXARRAY_HPP

#include "VyContainerApi.hpp"

// The size of a GenFlexArray built with size 0.
extern VY_CONTAINER_API const unsigned int DEFAULT_ARRAY_SIZE;

class VY_CONTAINER_API GenFlexArray {
 public:
  // n slots, or DEFAULT_ARRAY_SIZE when n is 0; all null.
  explicit GenFlexArray(unsigned int n = 0);
  GenFlexArray(const GenFlexArray& other);
  GenFlexArray& operator=(const GenFlexArray& other);
  ~GenFlexArray();

  // n slots; those kept hold their values, those added above the old size are null.
  void reSize(unsigned int n);
  // Sets every slot to v.
  void clear(void* v);

  unsigned int size() const { return size_; }
  void* at(unsigned int i) const { return slots_[i]; }
  void set(unsigned int i, void* v) { slots_[i] = v; }
  void*& operator[](unsigned int i) { return slots_[i]; }
  void* operator[](unsigned int i) const { return slots_[i]; }

 private:
  void** slots_;
  unsigned int size_;
};

#endif  // VY_GENFLEXARRAY_HPP
