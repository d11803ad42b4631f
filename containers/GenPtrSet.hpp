// A set of untyped pointers, on a HashTbl of PointerHash nodes: the verb set of a spec, the
// subscription sets and the benchmark connector's pending events. PtrSet<T> is its typed face.
// Iteration follows the pointers' addresses, not the order of arrival.
//
// Ownership: the set owns its nodes, never the pointers: removing or destroying frees the node
// only, so owners of the pointed-at objects remove and delete them themselves. Copies are deep
// (each copy has its own nodes for the same pointers).
// Threads: one thread at a time; one built-in cursor (first/next).
#ifndef VY_GENPTRSET_HPP
#define VY_GENPTRSET_HPP

#include "HashTbl.hpp"
#include "PointerHash.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API GenPtrSet : public hashTbl<PointerHash, PointerHash> {
 public:
  explicit GenPtrSet(unsigned int size = DEFAULT_SIZE) : hashTbl<PointerHash, PointerHash>(size) {}
  GenPtrSet(const GenPtrSet& other);
  GenPtrSet& operator=(const GenPtrSet& other);
  ~GenPtrSet() override;

  // 0 when p was added, -1 when it was already present.
  int add(void* p);
  // Removes p when present; p itself is untouched.
  void remove(void* p);
  int isPresent(void* p) const;

  // The built-in walk: the stored pointers in slot order, null after the last.
  void* first();
  void* next();

  // The pointer held by a node of this kind of set (as found by hash_iter), or null.
  static void* pointerOf(const Hashable* node);
};

#endif  // VY_GENPTRSET_HPP
