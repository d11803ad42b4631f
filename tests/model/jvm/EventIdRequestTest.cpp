// Event ids against the agent: the connector's name is asked of the agent only when an id has to
// be made, and then once for the whole tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "BusinessObjectTestSpecs.hpp"
#include "VyTestAgent.hpp"

namespace {

using EventIdRequestTest = bospecs::ModelTestOn<vytest::Agent>;

long nameRequests() {
  auto asked = vytest::Agent::configRequests();
  return std::count(asked.begin(), asked.end(), std::string("ConnectorName"));
}

TEST_F(EventIdRequestTest, TheNameIsAskedOnlyWhenAnIdIsMadeAndOncePerTree) {
  vytest::Agent::setProperty("ConnectorName", "Asked");
  std::unique_ptr<BusinessObject> order(bospecs::make("Order", "Create", {"1"}));
  for (const char* no : {"a", "b"})
    order->setAttrValue(2, bospecs::make("Line", nullptr, {no}), bospecs::kObject);

  long before = nameRequests();
  order->setObjectEventIds();
  EXPECT_EQ(before + 1, nameRequests()) << "one request for the three ids";
  EXPECT_EQ(0u, bospecs::text(order->getAttrValue(4)).find("Asked_"));

  // Every object now carries its id: nothing to make, nothing asked.
  order->setObjectEventIds();
  EXPECT_EQ(before + 1, nameRequests());
}

}  // namespace
