#include "hash_iter.hpp"

hash_iter::hash_iter(const HashTbl& table) : table_(&table), index_(-1) { rewind(); }

void hash_iter::seek(unsigned int from) {
  for (unsigned int i = from; i < table_->capacity(); ++i) {
    if (table_->slotAt(i) != nullptr) {
      index_ = static_cast<int>(i);
      return;
    }
  }
  index_ = -1;
}

void hash_iter::rewind() { seek(0); }

void hash_iter::advance() {
  if (index_ < 0) return;
  seek(static_cast<unsigned int>(index_) + 1);
}

Hashable* hash_iter::current() const {
  return index_ < 0 ? nullptr : table_->slotAt(static_cast<unsigned int>(index_));
}
