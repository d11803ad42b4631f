#include "GenPtrDict.hpp"

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

void* GenPtrDict::get(const Hashable& key) const {
  DictSlot* slot = slotFor(key);
  return slot == nullptr ? nullptr : slot->getValue();
}

void* GenPtrDict::remove(const Hashable& key) {
  DictKey probe(key);
  DictSlot* slot = static_cast<DictSlot*>(HashTbl::remove(probe));
  if (slot == nullptr) return nullptr;
  void* value = slot->getValue();
  delete slot;
  return value;
}

int GenPtrDict::isPresent(const Hashable& key) const { return slotFor(key) != nullptr; }

Hashable* GenPtrDict::firstKey() {
  DictSlot* slot = static_cast<DictSlot*>(first());
  return slot == nullptr ? nullptr : slot->getKey();
}

Hashable* GenPtrDict::nextKey() {
  DictSlot* slot = static_cast<DictSlot*>(next());
  return slot == nullptr ? nullptr : slot->getKey();
}

void* GenPtrDict::firstValue() {
  DictSlot* slot = static_cast<DictSlot*>(first());
  return slot == nullptr ? nullptr : slot->getValue();
}

void* GenPtrDict::nextValue() {
  DictSlot* slot = static_cast<DictSlot*>(next());
  return slot == nullptr ? nullptr : slot->getValue();
}
