// Hostile input at the bridge: configuration values of a megabyte (connector name, trace and
// performance levels, a connector's own property), names of a megabyte in subscriptions and
// messages, and conversions of lone surrogates, U+0000 and unknown charsets. Nothing overflows a
// buffer, nothing is left pending in the JVM, and no local reference is left behind on a thread
// that stays attached (the harness fails a test on any JNI warning).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "BusObjNativeImpl.hpp"
#include "JToCPPVeneer.hpp"
#include "KyConversion.hpp"
#include "VyTestAgent.hpp"

namespace {

const size_t kMegabyte = size_t(1) << 20;

TEST(FuzzRegressionBridgeTest, ConfigurationValuesOfAMegabyte) {
  vytest::Agent agent;
  const std::string name(kMegabyte, 'N');
  const std::string nines(kMegabyte, '9');
  vytest::Agent::setProperty("ConnectorName", name.c_str());
  vytest::Agent::setProperty("AgentTraceLevel", nines.c_str());
  vytest::Agent::setProperty("PerfLevel", nines.c_str());
  vytest::Agent::setProperty("Big", std::string(kMegabyte, 'v').c_str());
  ASSERT_EQ(0, agent.init());
  vytest::checkNoException("init");

  // A connector's own property of a megabyte, into a small buffer: cut, terminated.
  char small[16];
  std::memset(small, 'x', sizeof small);
  int stored = JToCPPVeneer::getTheHandlerStuff()->getConfigProp("Big", small, sizeof small);
  EXPECT_EQ(15, stored);
  EXPECT_EQ(std::string(15, 'v'), std::string(small));
  char* whole = static_cast<char*>(std::malloc(kMegabyte + 1));
  EXPECT_EQ(static_cast<int>(kMegabyte), CallJavaForgetConfigProp("Big", whole, kMegabyte + 1));
  EXPECT_EQ(kMegabyte, std::strlen(whole));
  std::free(whole);

  // Names of a megabyte through the subscription entry points and their trace lines.
  agent.setTraceLevel(5);
  const std::string bo(kMegabyte, 'B');
  agent.subscribeTo(bo.c_str(), "Create", 1);
  EXPECT_TRUE(agent.isSubscribed(bo.c_str(), "Create"));
  agent.updateSubscription(bo.c_str(), "Create", 0, 0);
  agent.cancelSub(bo.c_str(), "1.0.0", "Create");
  EXPECT_FALSE(agent.isSubscribed(bo.c_str(), "Create"));
  agent.getPerfMonitors();

  // A message parameter of a megabyte, formatted and logged.
  char* text =
      JToCPPVeneer::getTheHandlerStuff()->generateKyMsg(80014, 7, name.c_str(), 1, bo.c_str());
  ASSERT_NE(nullptr, text);
  JToCPPVeneer::getTheHandlerStuff()->logMsg(text, 7);
  std::free(text);
  vytest::checkNoException("megabyte values");
}

TEST(FuzzRegressionBridgeTest, LoneSurrogatesAndNulConvertAsTheJvmDoes) {
  vytest::Agent agent;
  ASSERT_EQ(0, agent.init());
  for (const char* charset : {"UTF-8", "ISO-8859-1", "US-ASCII", "windows-1252"}) {
    KyConversion conv(charset);
    const unsigned short units[] = {'a', 0xD800, 'b', 0xDC00, 0, 'c', 0xDBFF};
    int n = 7, m = 7;
    char* kit = conv.fromUTF16ToNative(nullptr, units, n);
    char* jvm = conv.jvmUTF16ToNative(nullptr, units, m);
    ASSERT_NE(nullptr, kit) << charset;
    ASSERT_EQ(m, n) << charset;
    EXPECT_EQ(0, std::memcmp(kit, jvm, static_cast<size_t>(n) + 1)) << charset;
    EXPECT_EQ('\0', kit[n]) << charset;
    std::free(kit);
    std::free(jvm);

    // Bytes with NUL inside, by explicit length.
    const char bytes[] = {'x', '\0', static_cast<char>(0xC3), '\0', static_cast<char>(0xE9)};
    int k = 5, j = 5;
    unsigned short* kit16 = conv.fromNativeToUTF16(nullptr, bytes, k);
    unsigned short* jvm16 = conv.jvmNativeToUTF16(nullptr, bytes, j);
    ASSERT_NE(nullptr, kit16) << charset;
    ASSERT_EQ(j, k) << charset;
    EXPECT_EQ(0, std::memcmp(kit16, jvm16, sizeof(unsigned short) * (static_cast<size_t>(k) + 1)))
        << charset;
    std::free(kit16);
    std::free(jvm16);
  }
  vytest::checkNoException("conversions");
}

TEST(FuzzRegressionBridgeTest, UnknownCharsetConvertsNothingAndLeavesNothingPending) {
  vytest::Agent agent;
  ASSERT_EQ(0, agent.init());
  KyConversion conv("no-such-charset-x");
  const unsigned short units[] = {'a', 'b', 0};
  for (int i = 0; i < 64; ++i) {
    int n = -1, m = 2;
    EXPECT_EQ(nullptr, conv.fromNativeToUTF16(nullptr, "abc", n));
    EXPECT_EQ(nullptr, conv.fromUTF16ToNative(nullptr, units, m));
    EXPECT_EQ(nullptr, conv.fromNativeToUTF8(nullptr, "abc"));
    EXPECT_EQ(nullptr, conv.fromUTF8ToNative(nullptr, "abc"));
    vytest::checkNoException("unknown charset");
  }
}

// Found by fuzz_conversion: the JVM keeps a local reference for a String whose constructor threw
// (an unknown charset), so every forced JVM decode on a thread that stays attached left one more
// behind until -Xcheck:jni warned.
TEST(FuzzRegressionBridgeTest, ForcedJvmDecodeOfAnUnknownCharsetLeavesNoLocalReference) {
  vytest::Agent agent;
  ASSERT_EQ(0, agent.init());
  KyConversion conv("no-such-charset-x");
  for (int i = 0; i < 64; ++i) {
    int n = 3;
    EXPECT_EQ(nullptr, conv.jvmNativeToUTF16(nullptr, "abc", n));
    EXPECT_EQ(nullptr, conv.jvmNativeToUTF8(nullptr, "abc"));
    vytest::checkNoException("forced JVM decode");
  }
}

}  // namespace
