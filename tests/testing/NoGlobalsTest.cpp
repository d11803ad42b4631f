// A library with no GenGlobals object: the test kit says what is missing and how to mend it,
// in both modes, and nothing crashes.
#include <gtest/gtest.h>

#include "VyTesting.hpp"

namespace {

TEST(NoGlobalsTest, StartSaysTheGlobalsObjectIsMissing) {
  for (bool jvm : {false, true}) {
    SCOPED_TRACE(jvm ? "jvm" : "in-process");
    auto conn = jvm ? vy::testing::Connector::inJvm(VY_CONNECTOR_LIBRARY)
                    : vy::testing::Connector::inProcess(VY_CONNECTOR_LIBRARY);
    EXPECT_EQ(-1, conn->start());
    if (!jvm) {
      EXPECT_NE(std::string::npos, conn->lastError().find("GenGlobals")) << conn->lastError();
    }
    EXPECT_NE(1, conn->poll());
  }
}

// The test connector registered first, then stopped: a library loaded later without its own
// GenGlobals object must not start the earlier connector in its place.
TEST(NoGlobalsTest, AnEarlierConnectorDoesNotStandInForAMissingOne) {
  {
    auto first = vy::testing::Connector::inProcess(VY_TEST_CONNECTOR_LIBRARY);
    ASSERT_EQ(0, first->start()) << first->lastError();
    ASSERT_EQ(0, first->stop());
  }
  for (bool jvm : {false, true}) {
    SCOPED_TRACE(jvm ? "jvm" : "in-process");
    auto conn = jvm ? vy::testing::Connector::inJvm(VY_CONNECTOR_LIBRARY)
                    : vy::testing::Connector::inProcess(VY_CONNECTOR_LIBRARY);
    EXPECT_EQ(-1, conn->start());
    EXPECT_NE(std::string::npos, conn->lastError().find("GenGlobals")) << conn->lastError();
  }
}

}  // namespace
