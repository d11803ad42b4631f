#include "DictSlot.hpp"

DictSlot::~DictSlot() { delete key_; }

unsigned long DictSlot::hash() const { return key_->hash(); }

int DictSlot::isEqual(const Hashable& other) const {
  return key_->isEqual(*static_cast<const DictSlot&>(other).key_);
}

// The probe only borrows its key: forget it before the slot's destructor would delete it.
DictKey::~DictKey() { key_ = nullptr; }
