// A dictionary from Hashable keys to untyped values, on a HashTbl of DictSlots: the spec
// directory, the spec lists and the subscription table are built on it.
//
// Ownership: the dictionary owns its keys (handed over by set) and its slots; it never owns or
// deletes values. Destroying the dictionary deletes the keys still in it. Copying a dictionary
// would share its keys, so it is not copyable.
// Threads: one thread at a time; one built-in cursor (firstKey/nextKey, firstValue/nextValue).
#ifndef VY_GENPTRDICT_HPP
#define VY_GENPTRDICT_HPP

#include "DictSlot.hpp"
#include "HashTbl.hpp"
#include "Hashable.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API GenPtrDict : public hashTbl<Hashable, DictSlot> {
 public:
  explicit GenPtrDict(unsigned int size = DEFAULT_SIZE) : hashTbl<Hashable, DictSlot>(size) {}
  GenPtrDict(const GenPtrDict&) = delete;
  GenPtrDict& operator=(const GenPtrDict&) = delete;
  ~GenPtrDict() override;

  // Takes ownership of key. When an equal key is stored, key is deleted and the stored entry's
  // value is replaced (the old value is not deleted); otherwise a new entry is added. A null key
  // is ignored.
  void set(Hashable* key, void* value);
  // The value stored under key, or null.
  void* get(const Hashable& key) const;
  // Removes the entry of key, deleting its stored key; returns its value (not deleted), or null.
  void* remove(const Hashable& key);
  int isPresent(const Hashable& key) const;

  // The built-in walk in slot order, yielding keys or values; null after the last.
  Hashable* firstKey();
  Hashable* nextKey();
  void* firstValue();
  void* nextValue();

 private:
  DictSlot* slotFor(const Hashable& key) const;
};

#endif  // VY_GENPTRDICT_HPP
