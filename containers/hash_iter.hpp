// An independent cursor over a HashTbl, in ascending slot order; several may walk one table at
// once without disturbing its built-in first/next cursor.
//
// Contract: the table must outlive the iterator. Adding to or removing from the table during a
// walk may move elements, so such a walk may skip or repeat elements (it never reads outside the
// table). Threads: as the table.
#ifndef VY_HASH_ITER_HPP
#define VY_HASH_ITER_HPP

#include "HashTbl.hpp"
#include "Hashable.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API hash_iter {
 public:
  // Placed on the lowest occupied slot, or at -1 when the table is empty.
  explicit hash_iter(const HashTbl& table);

  // Back to the lowest occupied slot (or -1).
  void rewind();
  // To the next occupied slot, or to -1 past the end.
  void advance();

  // The slot index, -1 at the end.
  int index() const { return index_; }
  bool atEnd() const { return index_ < 0; }
  // The element under the cursor, null at the end.
  Hashable* current() const;

 private:
  void seek(unsigned int from);

  const HashTbl* table_;
  int index_;
};

#endif  // VY_HASH_ITER_HPP
