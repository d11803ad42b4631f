#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "GenPtrSet.hpp"
#include "PointerHash.hpp"
#include "PtrSet.hpp"
#include "hash_iter.hpp"

namespace {

struct Verb {
  int id;
};

TEST(PointerHashTest, PointersFourBytesApartHashToConsecutiveValues) {
  int words[2];
  PointerHash a(&words[0]), b(&words[1]);
  EXPECT_EQ(b.hash(), a.hash() + 1);
  EXPECT_LE(a.hash(), 0x3ffffffful);
  EXPECT_EQ(PointerHash(reinterpret_cast<void*>(uintptr_t{0x123456789abcdef0})).hash(),
            0x9abcdef0ul >> 2);
  EXPECT_TRUE(a.isEqual(PointerHash(&words[0])));
  EXPECT_FALSE(a.isEqual(b));
}

TEST(GenPtrSetTest, AddingThePointerTwiceKeepsOne) {
  GenPtrSet set(HashTbl::DEFAULT_SIZE);
  int x = 0;
  EXPECT_EQ(set.add(&x), 0);
  EXPECT_EQ(set.add(&x), -1);
  EXPECT_EQ(set.size(), 1u);
  EXPECT_TRUE(set.isPresent(&x));
  set.remove(&x);
  set.remove(&x);
  EXPECT_EQ(set.size(), 0u);
  EXPECT_FALSE(set.isPresent(&x));
  EXPECT_EQ(set.first(), nullptr);
}

TEST(GenPtrSetTest, TypedSetWalksItsPointersAndCopiesAreIndependent) {
  std::vector<Verb> verbs(40);
  PtrSet<Verb> set;
  for (Verb& v : verbs) set.add(&v);
  EXPECT_EQ(set.size(), 40u);

  std::vector<Verb*> walked;
  for (Verb* v = set.first(); v != nullptr; v = set.next()) walked.push_back(v);
  EXPECT_EQ(walked.size(), 40u);
  std::vector<Verb*> iterated;
  for (hash_iter it(set); !it.atEnd(); it.advance()) {
    iterated.push_back(PtrSet<Verb>::pointerOf(it.current()));
  }
  EXPECT_EQ(iterated, walked);

  PtrSet<Verb> copy(set);
  copy.remove(&verbs[0]);
  EXPECT_TRUE(set.isPresent(&verbs[0]));
  EXPECT_FALSE(copy.isPresent(&verbs[0]));
  EXPECT_EQ(copy.size(), 39u);
  copy = set;
  EXPECT_TRUE(copy.isPresent(&verbs[0]));
  EXPECT_EQ(copy.size(), 40u);
}

}  // namespace
