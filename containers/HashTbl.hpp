// An open-addressing hash table of Hashable elements: the one hashing scheme behind every keyed
// collection of the framework (dictionaries, pointer sets, the performance registry).
//
// Placement is exact and decides iteration orders elsewhere: capacity is twice the smallest power
// of two at least the requested size; an element's home slot is its 32-bit hash times 0x9E3779B9
// (modulo 2^32) shifted right by (32 - bits); collisions probe downward and wrap. The table is at
// most half full and doubles when an add passes half.
//
// Ownership: the table stores pointers and owns none of the elements (destructAll deletes them on
// request); it owns only its slot array. Copying a table shares its elements.
// Threads: one thread at a time. One built-in cursor per table (first/next); use hash_iter for an
// independent walk.
#ifndef VY_HASHTBL_HPP
#define VY_HASHTBL_HPP

#include "GenFlexArray.hpp"
#include "Hashable.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API HashTbl {
 public:
  static constexpr unsigned int DEFAULT_SIZE = 64;
  static constexpr unsigned int EXPANSION_FACTOR = 2;

  explicit HashTbl(unsigned int size = DEFAULT_SIZE);
  HashTbl(const HashTbl& other);
  HashTbl& operator=(const HashTbl& other);
  // Frees the slot array only; elements still stored are not deleted.
  virtual ~HashTbl();

  // Stores &x unless an equal element is present. Returns the stored equal element (nothing
  // changes), or &x once added.
  Hashable* add(Hashable& x);
  // The stored element equal to x, or null.
  Hashable* find(const Hashable& x) const;
  bool isPresent(const Hashable& x) const { return find(x) != nullptr; }
  // Takes the element equal to x out of the table and returns it (not deleted), or null.
  Hashable* remove(const Hashable& x);

  // Empties every slot without deleting the elements.
  void removeAll();
  // Deletes every element (virtual destructor) in slot order, then empties the table.
  void destructAll();
  // Adds each element of other, in other's slot order.
  void addAll(const HashTbl& other);
  // Removes each element of other from this table.
  void removeAll(const HashTbl& other);
  // Rehashes into the capacity for n; nothing when n <= size(). Never shrinks below half full.
  void reSize(unsigned int n);

  // The built-in walk in ascending slot order: the element at the lowest occupied slot, or null
  // when the table is empty; then each next one, null past the end.
  Hashable* first();
  Hashable* next();

  unsigned int size() const { return count_; }
  unsigned int capacity() const { return mask_ + 1; }
  // The element in slot i, or null (also for i beyond the capacity).
  Hashable* slotAt(unsigned int i) const;
  // The home slot of hash value h.
  unsigned int getIndex(unsigned long h) const;
  // The slot holding an element equal to x, or the empty slot where x belongs.
  unsigned int findIndexOf(const Hashable& x) const;

 protected:
  // Capacity for a requested size n; also sets count and cursor to 0.
  void setCapacity(unsigned int n);

 private:
  // Moves every element into the capacity for n, in ascending slot order of the old array.
  void rehash(unsigned int n);

  unsigned int count_;
  unsigned int bits_;
  unsigned int mask_;
  GenFlexArray table_;
  unsigned int cursor_;
};

// Typed faces of HashTbl (the key and element classes document intent); the constructors only
// forward the size.
template <class Key, class Elem>
class VY_CONTAINER_API hashTbl : public HashTbl {
 public:
  explicit hashTbl(unsigned int size = DEFAULT_SIZE) : HashTbl(size) {}
};

#endif  // VY_HASHTBL_HPP
