#include "HashTbl.hpp"

#include <cstdint>

HashTbl::HashTbl(unsigned int size) : count_(0), bits_(0), mask_(0), table_(), cursor_(0) {
  setCapacity(size);
  table_.reSize(capacity());
  table_.clear(nullptr);
}

HashTbl::HashTbl(const HashTbl& other) = default;

HashTbl& HashTbl::operator=(const HashTbl& other) {
  if (this == &other) return *this;
  count_ = other.count_;
  bits_ = other.bits_;
  mask_ = other.mask_;
  table_ = other.table_;
  cursor_ = other.cursor_;
  return *this;
}

HashTbl::~HashTbl() = default;

void HashTbl::setCapacity(unsigned int n) {
  unsigned int m = n == 0 ? 1 : n;
  unsigned int digits = 32 - static_cast<unsigned int>(__builtin_clz(m));
  unsigned int bits = digits + ((m & (m - 1)) != 0 ? 1 : 0);
  // A request beyond 2^30 would need more slots than a 32-bit index reaches.
  if (bits > 31) bits = 31;
  bits_ = bits;
  mask_ = (1u << bits) - 1;
  count_ = 0;
  cursor_ = 0;
}

unsigned int HashTbl::getIndex(unsigned long h) const {
  uint32_t x = static_cast<uint32_t>(h) * 0x9E3779B9u;
  return (x >> ((32 - bits_) & 31)) & mask_;
}

unsigned int HashTbl::findIndexOf(const Hashable& x) const {
  unsigned int i = getIndex(x.hash());
  for (;;) {
    Hashable* e = static_cast<Hashable*>(table_[i]);
    if (e == nullptr || e->isEqual(x)) return i;
    i = (i - 1) & mask_;
  }
}

Hashable* HashTbl::slotAt(unsigned int i) const {
  return i <= mask_ ? static_cast<Hashable*>(table_[i]) : nullptr;
}

Hashable* HashTbl::find(const Hashable& x) const {
  return static_cast<Hashable*>(table_[findIndexOf(x)]);
}

Hashable* HashTbl::add(Hashable& x) {
  unsigned int i = findIndexOf(x);
  Hashable* present = static_cast<Hashable*>(table_[i]);
  if (present != nullptr) return present;
  table_[i] = &x;
  ++count_;
  unsigned int cap = capacity();
  // Growth rehashes even at capacity 2, where the requested size (2) is not above the count and
  // reSize would refuse, leaving a full table in which the next probe for a new element never
  // ends. At every larger capacity this is exactly reSize.
  if (count_ > cap / 2) rehash((cap / 2) * EXPANSION_FACTOR);
  return &x;
}

void HashTbl::reSize(unsigned int n) {
  if (n <= count_) return;
  rehash(n);
}

void HashTbl::rehash(unsigned int n) {
  if (count_ == 0) {
    setCapacity(n);
    table_.reSize(capacity());
    table_.clear(nullptr);
    return;
  }
  GenFlexArray old(table_);
  setCapacity(n);
  table_.reSize(capacity());
  table_.clear(nullptr);
  for (unsigned int i = 0; i < old.size(); ++i) {
    if (old[i] != nullptr) add(*static_cast<Hashable*>(old[i]));
  }
}

Hashable* HashTbl::remove(const Hashable& x) {
  unsigned int i = findIndexOf(x);
  Hashable* e = static_cast<Hashable*>(table_[i]);
  if (e == nullptr) return nullptr;
  table_[i] = nullptr;
  unsigned int hole = i;
  unsigned int j = i;
  for (;;) {
    j = (j - 1) & mask_;
    Hashable* moving = static_cast<Hashable*>(table_[j]);
    if (moving == nullptr) {
      --count_;
      return e;
    }
    // The element at j stays when its home r lies cyclically in [j, hole): its probe path from r
    // down to j does not cross the hole. Otherwise it moves up into the hole.
    unsigned int r = getIndex(moving->hash());
    if ((j <= r && r < hole) || (r < hole && hole < j) || (hole < j && j <= r)) continue;
    table_[hole] = moving;
    table_[j] = nullptr;
    hole = j;
  }
}

void HashTbl::removeAll() {
  table_.clear(nullptr);
  count_ = 0;
}

void HashTbl::destructAll() {
  for (unsigned int i = 0; i <= mask_; ++i) {
    Hashable* e = static_cast<Hashable*>(table_[i]);
    table_[i] = nullptr;
    delete e;
  }
  count_ = 0;
}

void HashTbl::addAll(const HashTbl& other) {
  if (&other == this) return;
  for (unsigned int i = 0; i <= other.mask_; ++i) {
    Hashable* e = static_cast<Hashable*>(other.table_[i]);
    if (e != nullptr) add(*e);
  }
}

void HashTbl::removeAll(const HashTbl& other) {
  if (&other == this) {
    removeAll();
    return;
  }
  for (unsigned int i = 0; i <= other.mask_; ++i) {
    Hashable* e = static_cast<Hashable*>(other.table_[i]);
    if (e != nullptr) remove(*e);
  }
}

Hashable* HashTbl::first() {
  if (count_ == 0) return nullptr;
  for (cursor_ = 0; cursor_ <= mask_; ++cursor_) {
    if (table_[cursor_] != nullptr) return static_cast<Hashable*>(table_[cursor_]);
  }
  return nullptr;
}

Hashable* HashTbl::next() {
  // The cursor may be past the end, or beyond a capacity that has since changed.
  if (cursor_ > mask_) return nullptr;
  for (++cursor_; cursor_ <= mask_; ++cursor_) {
    if (table_[cursor_] != nullptr) return static_cast<Hashable*>(table_[cursor_]);
  }
  return nullptr;
}
