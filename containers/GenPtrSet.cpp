#include "GenPtrSet.hpp"

GenPtrSet::GenPtrSet(const GenPtrSet& other) : hashTbl<PointerHash, PointerHash>(other.size()) {
  for (unsigned int i = 0; i < other.capacity(); ++i) {
    if (other.slotAt(i) != nullptr) add(pointerOf(other.slotAt(i)));
  }
}

GenPtrSet& GenPtrSet::operator=(const GenPtrSet& other) {
  if (this == &other) return *this;
  destructAll();
  for (unsigned int i = 0; i < other.capacity(); ++i) {
    if (other.slotAt(i) != nullptr) add(pointerOf(other.slotAt(i)));
  }
  return *this;
}

// The nodes are the set's own; leaving them would only leak them.
GenPtrSet::~GenPtrSet() { destructAll(); }

int GenPtrSet::add(void* p) {
  PointerHash* node = new PointerHash(p);
  if (HashTbl::add(*node) != node) {
    delete node;
    return -1;
  }
  return 0;
}

void GenPtrSet::remove(void* p) {
  PointerHash probe(p);
  delete HashTbl::remove(probe);
}

int GenPtrSet::isPresent(void* p) const {
  PointerHash probe(p);
  return find(probe) != nullptr;
}

void* GenPtrSet::first() { return pointerOf(HashTbl::first()); }

void* GenPtrSet::next() { return pointerOf(HashTbl::next()); }

void* GenPtrSet::pointerOf(const Hashable* node) {
  return node == nullptr ? nullptr : static_cast<const PointerHash*>(node)->getPtr();
}
