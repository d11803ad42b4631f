#include "GenPtrDict.hpp"

namespace {

// The key and the value of a slot (null: none, or past the last).
Hashable* keyOf(Hashable* slot) {
  return slot == nullptr ? nullptr : static_cast<DictSlot*>(slot)->getKey();
}

void* valueOf(Hashable* slot) {
  return slot == nullptr ? nullptr : static_cast<DictSlot*>(slot)->getValue();
}

}  // namespace

GenPtrDict::~GenPtrDict() {
  // The slots and keys are the dictionary's own; the values are not.
  destructAll();
}

DictSlot* GenPtrDict::slotFor(const Hashable& key) const {
  DictKey probe(key);
  return static_cast<DictSlot*>(find(probe));
}

void GenPtrDict::set(Hashable* key, void* value) {
  if (key == nullptr) return;
  DictSlot* stored = slotFor(*key);
  if (stored != nullptr) {
    delete key;
    stored->setValue(value);
    return;
  }
  add(*new DictSlot(key, value));
}

void* GenPtrDict::get(const Hashable& key) const { return valueOf(slotFor(key)); }

void* GenPtrDict::remove(const Hashable& key) {
  DictKey probe(key);
  DictSlot* slot = static_cast<DictSlot*>(HashTbl::remove(probe));
  if (slot == nullptr) return nullptr;
  void* value = slot->getValue();
  delete slot;
  return value;
}

int GenPtrDict::isPresent(const Hashable& key) const { return slotFor(key) != nullptr; }

Hashable* GenPtrDict::firstKey() { return keyOf(first()); }

Hashable* GenPtrDict::nextKey() { return keyOf(next()); }

void* GenPtrDict::firstValue() { return valueOf(first()); }

void* GenPtrDict::nextValue() { return valueOf(next()); }
