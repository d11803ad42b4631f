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

}  // namespace
