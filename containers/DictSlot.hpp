// The entries of a GenPtrDict: DictSlot pairs an owned key with a value; DictKey is the
// temporary, non-owning probe a lookup wraps the caller's key in. Both hash and compare by key.
//
// Ownership: a DictSlot deletes its key when destroyed; never its value. A DictKey deletes
// nothing. Keys compared with one another must be of one class (see Hashable).
#ifndef VY_DICTSLOT_HPP
#define VY_DICTSLOT_HPP

#include "Hashable.hpp"
#include "VyContainerApi.hpp"

class VY_CONTAINER_API DictSlot : public Hashable {
 public:
  // Takes ownership of key, which must not be null.
  DictSlot(Hashable* key, void* value) : key_(key), value_(value) {}
  DictSlot(const DictSlot&) = delete;
  DictSlot& operator=(const DictSlot&) = delete;
  ~DictSlot() override;

  // The key's hash.
  unsigned long hash() const override;
  // The key's isEqual applied to the other slot's key.
  int isEqual(const Hashable& other) const override;

  Hashable* getKey() const { return key_; }
  void* getValue() const { return value_; }
  void setValue(void* value) { value_ = value; }

 protected:
  Hashable* key_;
  void* value_;
};

class VY_CONTAINER_API DictKey : public DictSlot {
 public:
  // Refers to key for the life of the probe; never deletes it.
  explicit DictKey(const Hashable& key) : DictSlot(const_cast<Hashable*>(&key), nullptr) {}
  ~DictKey() override;
};

#endif  // VY_DICTSLOT_HPP
