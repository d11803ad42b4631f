#include <gtest/gtest.h>

#include <set>
#include <string>

#include "GenPtrDict.hpp"
#include "StringHash.hpp"

namespace {

int tag1 = 1, tag2 = 2, tag3 = 3;

TEST(StringHashTest, HashesLikeItsTextAndComparesCaseSensitively) {
  StringHash abcd("abcd");
  EXPECT_EQ(abcd.hash(), 4ul ^ 0x61626364ul);
  EXPECT_TRUE(abcd.isEqual(StringHash(String("abcd"))));
  EXPECT_FALSE(abcd.isEqual(StringHash("ABCD")));
  EXPECT_FALSE(abcd.isEqual(StringHash("abc")));
  EXPECT_TRUE(StringHash(static_cast<const char*>(nullptr)).isEqual(StringHash("")));
}

TEST(GenPtrDictTest, SettingAnEqualKeyTwiceKeepsOneEntryWithTheSecondValue) {
  GenPtrDict dict(HashTbl::DEFAULT_SIZE);
  dict.set(new StringHash("Customer"), &tag1);
  dict.set(new StringHash("Customer"), &tag2);  // this key is deleted by the dictionary
  EXPECT_EQ(dict.size(), 1u);
  EXPECT_EQ(dict.get(StringHash("Customer")), &tag2);
  EXPECT_EQ(dict.get(StringHash("customer")), nullptr);
  EXPECT_TRUE(dict.isPresent(StringHash("Customer")));
  EXPECT_FALSE(dict.isPresent(StringHash("Order")));
}

TEST(GenPtrDictTest, RemoveDeletesTheKeyAndLeavesTheValue) {
  GenPtrDict dict;
  dict.set(new StringHash("A"), &tag1);
  dict.set(new StringHash("B"), &tag2);
  EXPECT_EQ(dict.remove(StringHash("A")), &tag1);
  EXPECT_EQ(dict.remove(StringHash("A")), nullptr);
  EXPECT_EQ(dict.size(), 1u);
  EXPECT_EQ(dict.get(StringHash("B")), &tag2);
  EXPECT_EQ(tag1, 1);
}

TEST(GenPtrDictTest, KeysAndValuesWalkInSlotOrder) {
  GenPtrDict dict(4);
  EXPECT_EQ(dict.firstKey(), nullptr);
  EXPECT_EQ(dict.firstValue(), nullptr);
  dict.set(new StringHash("one"), &tag1);
  dict.set(new StringHash("two"), &tag2);
  dict.set(new StringHash("three"), &tag3);

  std::set<std::string> keys;
  for (Hashable* k = dict.firstKey(); k != nullptr; k = dict.nextKey()) {
    keys.insert(static_cast<StringHash*>(k)->chars());
  }
  EXPECT_EQ(keys, (std::set<std::string>{"one", "two", "three"}));

  std::set<void*> values;
  for (void* v = dict.firstValue(); v != nullptr; v = dict.nextValue()) values.insert(v);
  EXPECT_EQ(values, (std::set<void*>{&tag1, &tag2, &tag3}));

  // Emptying through firstKey, as an owner does before destroying its values.
  while (Hashable* k = dict.firstKey()) dict.remove(*k);
  EXPECT_EQ(dict.size(), 0u);
}

}  // namespace
