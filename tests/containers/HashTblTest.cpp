#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "HashTbl.hpp"
#include "hash_iter.hpp"

namespace {

// An element with a chosen hash; equal by id, so colliding elements are easy to make.
class Item : public Hashable {
 public:
  Item(int id, unsigned long h, int* destroyed = nullptr) : id(id), h(h), destroyed(destroyed) {}
  ~Item() override {
    if (destroyed != nullptr) ++*destroyed;
  }
  unsigned long hash() const override { return h; }
  int isEqual(const Hashable& other) const override {
    return static_cast<const Item&>(other).id == id;
  }
  int id;
  unsigned long h;
  int* destroyed;
};

// A hash value whose home slot in t is slot.
unsigned long hashForSlot(const HashTbl& t, unsigned int slot) {
  for (unsigned long h = 0;; ++h) {
    if (t.getIndex(h) == slot) return h;
  }
}

TEST(HashTblTest, CapacityIsTwiceTheSmallestPowerOfTwoAtLeastTheSize) {
  EXPECT_EQ(HashTbl(0).capacity(), 2u);
  EXPECT_EQ(HashTbl(1).capacity(), 2u);
  EXPECT_EQ(HashTbl(2).capacity(), 4u);
  EXPECT_EQ(HashTbl(3).capacity(), 8u);
  EXPECT_EQ(HashTbl(HashTbl::DEFAULT_SIZE).capacity(), 128u);
  EXPECT_EQ(HashTbl(100).capacity(), 256u);
}

TEST(HashTblTest, HomeSlotIsTheMultiplicativeHashOfTheLow32Bits) {
  HashTbl t128(64);  // 7 bits
  EXPECT_EQ(t128.getIndex(0), 0u);
  EXPECT_EQ(t128.getIndex(1), 79u);
  EXPECT_EQ(t128.getIndex(0x100000001ul), 79u);  // bits above 32 do not take part
  EXPECT_EQ(HashTbl(128).getIndex(12345), 161u);
  EXPECT_EQ(HashTbl(4).getIndex(0xdeadbeef), 4u);
}

TEST(HashTblTest, GrowsToTwiceItsCapacityOnThe65thAddAndKeepsEverything) {
  HashTbl t(HashTbl::DEFAULT_SIZE);
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 65; ++i) {
    items.push_back(std::make_unique<Item>(i, static_cast<unsigned long>(i) * 7919));
    EXPECT_EQ(t.add(*items.back()), items.back().get());
    EXPECT_EQ(t.capacity(), i < 64 ? 128u : 256u) << "after add " << i + 1;
  }
  EXPECT_EQ(t.size(), 65u);
  for (auto& item : items) EXPECT_EQ(t.find(Item(item->id, item->h)), item.get());
}

TEST(HashTblTest, AddingAnEqualElementReturnsTheStoredOne) {
  HashTbl t(8);
  Item a(1, 10), alsoA(1, 10);
  EXPECT_EQ(t.add(a), &a);
  EXPECT_EQ(t.add(alsoA), &a);
  EXPECT_EQ(t.size(), 1u);
  EXPECT_EQ(t.remove(Item(2, 10)), nullptr);
  EXPECT_EQ(t.remove(alsoA), &a);
  EXPECT_EQ(t.size(), 0u);
}

TEST(HashTblTest, CollisionsProbeDownwardAndRemovalAcrossSlotZeroKeepsTheRunFindable) {
  HashTbl t(4);  // capacity 8
  ASSERT_EQ(t.capacity(), 8u);
  unsigned long home0 = hashForSlot(t, 0), home7 = hashForSlot(t, 7);
  Item a(1, home0), b(2, home0), c(3, home0), d(4, home7);
  t.add(a);
  t.add(b);
  t.add(c);
  t.add(d);
  EXPECT_EQ(t.slotAt(0), &a);
  EXPECT_EQ(t.slotAt(7), &b);
  EXPECT_EQ(t.slotAt(6), &c);
  EXPECT_EQ(t.slotAt(5), &d);

  EXPECT_EQ(t.remove(a), &a);
  EXPECT_EQ(t.slotAt(0), &b);
  EXPECT_EQ(t.slotAt(7), &c);
  EXPECT_EQ(t.slotAt(6), &d);
  EXPECT_EQ(t.slotAt(5), nullptr);
  EXPECT_EQ(t.find(b), &b);
  EXPECT_EQ(t.find(c), &c);
  EXPECT_EQ(t.find(d), &d);
  EXPECT_EQ(t.find(a), nullptr);
  EXPECT_EQ(t.size(), 3u);

  // An element whose home lies between itself and the hole stays where it is.
  Item f(5, hashForSlot(t, 5));
  t.add(f);
  ASSERT_EQ(t.capacity(), 8u);
  EXPECT_EQ(t.slotAt(5), &f);
  EXPECT_EQ(t.remove(c), &c);
  EXPECT_EQ(t.slotAt(7), &d);
  EXPECT_EQ(t.slotAt(6), nullptr);
  EXPECT_EQ(t.slotAt(5), &f);
  for (Item* x : {&b, &d, &f}) EXPECT_EQ(t.find(*x), x);
}

TEST(HashTblTest, TheSmallestTableGrowsInsteadOfFillingUp) {
  HashTbl t(0);
  ASSERT_EQ(t.capacity(), 2u);
  Item a(1, 1), b(2, 2), c(3, 3);
  t.add(a);
  EXPECT_EQ(t.capacity(), 2u);
  t.add(b);
  EXPECT_EQ(t.capacity(), 4u);
  EXPECT_EQ(t.find(c), nullptr);  // would probe a full table forever
  t.add(c);
  EXPECT_EQ(t.capacity(), 8u);
}

TEST(HashTblTest, RandomAddsAndRemovesOfCollidingElementsMatchAModel) {
  std::mt19937 random(20240607);
  std::vector<std::unique_ptr<Item>> pool;
  for (int i = 0; i < 300; ++i) {
    // Few distinct hashes: long collision runs that wrap and mix homes.
    pool.push_back(std::make_unique<Item>(i, static_cast<unsigned long>(i % 11) * 2654435761u));
  }
  HashTbl t(1);
  std::map<int, Item*> model;
  for (int step = 0; step < 6000; ++step) {
    Item* item = pool[random() % pool.size()].get();
    if (random() % 3 == 0) {
      EXPECT_EQ(t.remove(*item), model.count(item->id) ? item : nullptr);
      model.erase(item->id);
    } else {
      t.add(*item);
      model[item->id] = item;
    }
    ASSERT_EQ(t.size(), model.size()) << "step " << step;
    ASSERT_LE(t.size(), t.capacity() / 2);
    if (step % 50 == 0) {
      for (auto& p : pool) {
        ASSERT_EQ(t.find(*p), model.count(p->id) ? p.get() : nullptr) << "step " << step;
      }
    }
  }
}

TEST(HashTblTest, WalksGoInAscendingSlotOrder) {
  HashTbl empty(4);
  EXPECT_EQ(empty.first(), nullptr);
  EXPECT_TRUE(hash_iter(empty).atEnd());
  EXPECT_EQ(hash_iter(empty).index(), -1);

  HashTbl one(4);
  Item only(1, hashForSlot(one, 5));
  one.add(only);
  EXPECT_EQ(one.first(), &only);
  EXPECT_EQ(one.next(), nullptr);
  EXPECT_EQ(one.next(), nullptr);

  HashTbl t(16);
  std::vector<std::unique_ptr<Item>> items;
  for (int i = 0; i < 12; ++i) {
    items.push_back(std::make_unique<Item>(i, static_cast<unsigned long>(i) * 40503u));
    t.add(*items.back());
  }
  std::vector<Hashable*> bySlot;
  for (unsigned int i = 0; i < t.capacity(); ++i) {
    if (t.slotAt(i) != nullptr) bySlot.push_back(t.slotAt(i));
  }
  std::vector<Hashable*> walked;
  for (Hashable* e = t.first(); e != nullptr; e = t.next()) walked.push_back(e);
  EXPECT_EQ(walked, bySlot);

  // Independent iterators do not disturb each other or the built-in cursor.
  std::vector<Hashable*> outer;
  t.first();
  for (hash_iter it(t); !it.atEnd(); it.advance()) {
    outer.push_back(it.current());
    hash_iter inner(t);
    while (!inner.atEnd()) inner.advance();
  }
  EXPECT_EQ(outer, bySlot);
  EXPECT_EQ(t.next(), bySlot[1]);
  hash_iter again(t);
  again.advance();
  again.rewind();
  EXPECT_EQ(again.current(), bySlot[0]);
}

TEST(HashTblTest, BulkOperationsAndCopies) {
  int destroyed = 0;
  HashTbl owned(8);
  for (int i = 0; i < 5; ++i) owned.add(*new Item(i, static_cast<unsigned long>(i), &destroyed));

  HashTbl copy(owned);  // shares the elements
  EXPECT_EQ(copy.size(), 5u);
  EXPECT_EQ(copy.find(Item(3, 3)), owned.find(Item(3, 3)));

  HashTbl other(2);
  other.addAll(owned);
  EXPECT_EQ(other.size(), 5u);
  other.removeAll(copy);
  EXPECT_EQ(other.size(), 0u);
  copy.removeAll();
  EXPECT_EQ(copy.size(), 0u);
  EXPECT_EQ(copy.first(), nullptr);

  owned.reSize(1000);
  EXPECT_EQ(owned.capacity(), 2048u);
  EXPECT_EQ(owned.size(), 5u);
  EXPECT_NE(owned.find(Item(4, 4)), nullptr);
  owned.destructAll();
  EXPECT_EQ(destroyed, 5);
  EXPECT_EQ(owned.size(), 0u);
  EXPECT_EQ(owned.find(Item(4, 4)), nullptr);
}

}  // namespace
