// The portal through the real agent: released at library unload, looked up again by the next
// n_init, and the veneer n_init makes released with its agent reference in one place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "KyConversion.hpp"
#include "TestConnectorControl.hpp"
#include "TestConnectorFixture.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void* reserved);

namespace {

using vytest::Agent;

JavaVM* vm() {
  JavaVM* vm = nullptr;
  vytest::env()->GetJavaVM(&vm);
  return vm;
}

std::string windows1252ToUtf8(const char* text) {
  KyConversion conv("windows-1252");
  char* out = conv.fromNativeToUTF8(vytest::env(), text);
  std::string s = out ? out : "<null>";
  std::free(out);
  return s;
}

using JniPortalTest = vytest::TestConnectorTest;

TEST_F(JniPortalTest, UnloadReleasesEverythingAndTheNextInitLooksItUpAgain) {
  {
    Agent agent;
    EXPECT_EQ(0, agent.init());
    EXPECT_EQ("\xE2\x82\xAC", windows1252ToUtf8("\x80"));
    EXPECT_EQ(0, agent.terminate());
  }

  // Under -Xcheck:jni a reference released twice, or used after its release, fails the run.
  JNI_OnUnload(vm(), nullptr);
  JNI_OnUnload(vm(), nullptr);  // with nothing held: harmless

  // A conversion through the JVM finds its classes again without n_init.
  EXPECT_EQ("\xE2\x82\xAC", windows1252ToUtf8("\x80"));

  Agent agent;
  Agent::setProperty("Portal.Property", "back");
  EXPECT_EQ(0, agent.init());
  char buf[16];
  EXPECT_EQ(4,
            JToCPPVeneer::getTheHandlerStuff()->getConfigProp("Portal.Property", buf, sizeof buf));
  EXPECT_STREQ("back", buf);
  EXPECT_EQ(0, agent.terminate());
  EXPECT_EQ(nullptr, JToCPPVeneer::getTheHandlerStuff());
}

TEST_F(JniPortalTest, InitRetiresAVeneerTheBridgeDidNotMake) {
  // The test kit makes veneers of its own; n_init still replaces whichever is current, and the
  // one it makes is the one n_terminate retires.
  new JToCPPVeneer(new SubscriptionHandlerCPP(), nullptr, nullptr);
  Agent agent;
  EXPECT_EQ(0, agent.init());
  JToCPPVeneer* made = JToCPPVeneer::getTheHandlerStuff();
  ASSERT_NE(nullptr, made);
  EXPECT_NE(nullptr, made->getGblBusObjNativeInterface());
  EXPECT_EQ(0, agent.init());  // a second n_init: the first veneer goes, a new one runs
  ASSERT_NE(nullptr, JToCPPVeneer::getTheHandlerStuff());
  EXPECT_EQ(0, agent.terminate());
  EXPECT_EQ(nullptr, JToCPPVeneer::getTheHandlerStuff());
  EXPECT_EQ(-1, agent.terminate());  // nothing left to retire
}

}  // namespace
