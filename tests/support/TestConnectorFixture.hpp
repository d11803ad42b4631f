// The fixture of tests that drive the registered test connector: each test starts with no slot
// calls counted and the connector's globals fresh, and leaves the connector registered again for
// the next test. A suite names it for itself: `using LifecycleTest = vytest::TestConnectorTest;`.
#ifndef VY_TEST_CONNECTOR_FIXTURE_HPP
#define VY_TEST_CONNECTOR_FIXTURE_HPP

#include <gtest/gtest.h>

#include "TestConnectorControl.hpp"

namespace vytest {

class TestConnectorTest : public ::testing::Test {
 protected:
  void SetUp() override { vyTestConnectorReset(); }
  void TearDown() override { vyTestConnectorRegister(); }
};

}  // namespace vytest

#endif  // VY_TEST_CONNECTOR_FIXTURE_HPP
