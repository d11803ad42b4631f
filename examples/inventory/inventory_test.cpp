// The inventory connector's unit tests, with the kit's test connector in both modes.
#include <gtest/gtest.h>

#include "VyTesting.hpp"

namespace {

using vy::testing::Connector;
using vy::testing::Object;

class InventoryTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    conn = GetParam() ? Connector::inJvm(VY_CONNECTOR_LIBRARY)
                      : Connector::inProcess(VY_CONNECTOR_LIBRARY);
    conn->setProperty("ReorderLevel", "10");
    ASSERT_EQ(0, conn->start()) << conn->lastError();
    conn->announceFile(INVENTORY_SPEC);
  }
  std::unique_ptr<Connector> conn;
};

TEST_P(InventoryTest, CreatedItemsComeBackWithTheirMoves) {
  auto created = conn->request(R"(
    object InvItem verb=Create
      Sku = A-1
      Name = "Blue mug"
      Quantity = 40
      Moves = object InvMove verb=Create
        MoveId = m1
        Delta = 40
      end
    end)");
  ASSERT_EQ(1, created.status) << created.error;

  auto item = conn->request(Object("InvItem", "Retrieve").set("Sku", "A-1"));
  ASSERT_EQ(1, item.status) << item.error;
  EXPECT_EQ("Blue mug", item.object->value("Name"));
  EXPECT_EQ("40", item.object->value("Moves[0].Delta"));

  auto twice = conn->request(Object("InvItem", "Create").set("Sku", "A-1"));
  EXPECT_EQ(-1, twice.status);
  EXPECT_EQ("item A-1 exists already", twice.error);
}

TEST_P(InventoryTest, LowStockIsRaisedOnceAsAnUpdateEvent) {
  ASSERT_EQ(0, conn->subscribe("InvItem", "Update"));
  ASSERT_EQ(1, conn->request(Object("InvItem", "Create").set("Sku", "B-2").set("Quantity", "3"))
                   .status);
  EXPECT_EQ(0, conn->poll());
  auto events = conn->events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("Update", events[0].verb());
  EXPECT_EQ("3", events[0].value("Quantity"));
  EXPECT_EQ(0, conn->poll());
  EXPECT_TRUE(conn->events().empty());
}

INSTANTIATE_TEST_SUITE_P(BothModes, InventoryTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Jvm" : "InProcess"; });

}  // namespace
