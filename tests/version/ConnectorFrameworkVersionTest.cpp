#include <gtest/gtest.h>

#include "ConnectorFrameworkVersion.hpp"

namespace {

TEST(ConnectorFrameworkVersionTest, VersionIs410AndGetVersionReturnsACopy) {
  KyVersion v = ConnectorFrameworkVersion::getVersion();
  EXPECT_STREQ(v.toString(), "4.1.0");
  v.setMajorVer(9);
  EXPECT_EQ(ConnectorFrameworkVersion::version.getMajorVer(), 4);
}

TEST(ConnectorFrameworkVersionTest, CompatibleFromMajorThreeExceptExactly300) {
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion(nullptr), -1);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("2.9.9"), -1);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("3.0.0"), -1);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("3"), -1);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("3.0.1"), 0);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("4.1.0"), 0);
  EXPECT_EQ(ConnectorFrameworkVersion::compatibleVersion("junk"), -1);
}

}  // namespace
