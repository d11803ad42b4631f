#include <gtest/gtest.h>

#include "FlexArray.hpp"
#include "GenFlexArray.hpp"

namespace {

TEST(GenFlexArrayTest, SizesCopiesAndGrowth) {
  EXPECT_EQ(GenFlexArray(0).size(), DEFAULT_ARRAY_SIZE);
  EXPECT_EQ(DEFAULT_ARRAY_SIZE, 16u);

  int a = 1, b = 2;
  FlexArray<int> array(2);
  array.set(0, &a);
  array.set(1, &b);
  array.reSize(5);
  EXPECT_EQ(array.size(), 5u);
  EXPECT_EQ(array.at(0), &a);
  EXPECT_EQ(array.at(1), &b);
  EXPECT_EQ(array.at(4), nullptr);

  GenFlexArray copy(array);
  copy.clear(&b);
  EXPECT_EQ(copy.at(0), &b);
  EXPECT_EQ(array.at(0), &a);
  copy = array;
  GenFlexArray& alias = copy;
  copy = alias;
  EXPECT_EQ(copy.size(), 5u);
  EXPECT_EQ(copy.at(0), &a);
  array.reSize(0);
  EXPECT_EQ(array.size(), 0u);
}

}  // namespace
