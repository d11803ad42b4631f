// The subscription handler and the veneer linked to each other, seen through the agent's
// subscription entry points. (The registry on its own is tested in ../SubscriptionHandlerTest.cpp.)
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "JToCPPVeneer.hpp"
#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "TestRegistry.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Registry;
using vytest::t;

// Lines of the agent's trace that name `fragment`.
int tracedWith(vytest::Agent& agent, const std::string& fragment) {
  int n = 0;
  for (const auto& line : agent.traces())
    if (line.msg.find(fragment) != std::string::npos) ++n;
  return n;
}

TEST(SubscriptionHandlerLinkTest, AHandlerAndAVeneerPointAtEachOtherOrNeither) {
  vytest::Agent agent;
  vytest::Agent::setProperty("AgentTraceLevel", "5");
  agent.init();
  JToCPPVeneer* veneer = JToCPPVeneer::getTheHandlerStuff();
  ASSERT_NE(nullptr, veneer);
  SubscriptionHandlerCPP* original = veneer->getTheSubHandler();
  ASSERT_NE(nullptr, original);
  EXPECT_EQ(veneer, original->getTheJavaVeneer());

  // Linking a second handler takes the veneer's link from the first.
  auto* second = new SubscriptionHandlerCPP();
  EXPECT_EQ(nullptr, second->getTheJavaVeneer());
  second->setTheJavaVeneer(veneer);
  EXPECT_EQ(veneer, second->getTheJavaVeneer());
  EXPECT_EQ(second, veneer->getTheSubHandler());
  EXPECT_EQ(nullptr, original->getTheJavaVeneer());
  second->setTheJavaVeneer(veneer);  // again: nothing changes
  EXPECT_EQ(second, veneer->getTheSubHandler());
  EXPECT_EQ(veneer, second->getTheJavaVeneer());

  // A linked handler traces through its veneer; an unlinked one keeps working, silently.
  agent.clearRecords();
  EXPECT_EQ(0, second->subscribeTo(t("Linked"), t("Create"), 0));
  EXPECT_EQ(1, tracedWith(agent, "Linked"));
  second->removeTheJavaVeneer();
  EXPECT_EQ(nullptr, second->getTheJavaVeneer());
  EXPECT_EQ(nullptr, veneer->getTheSubHandler());
  EXPECT_EQ(0, second->subscribeTo(t("Unlinked"), t("Create"), 0));
  EXPECT_EQ(1, second->isSubscribed(t("Unlinked"), t("Create")));
  EXPECT_EQ(0, tracedWith(agent, "Unlinked"));
  second->removeTheJavaVeneer();  // twice is harmless
  second->setTheJavaVeneer(nullptr);
  EXPECT_EQ(nullptr, second->getTheJavaVeneer());

  // Linked back, the first handler is the veneer's again and the second is no one's.
  second->setTheJavaVeneer(veneer);
  original->setTheJavaVeneer(veneer);
  EXPECT_EQ(original, veneer->getTheSubHandler());
  EXPECT_EQ(veneer, original->getTheJavaVeneer());
  EXPECT_EQ(nullptr, second->getTheJavaVeneer());
  delete second;  // unlinked: the veneer keeps no pointer to it
  EXPECT_EQ(original, veneer->getTheSubHandler());
  EXPECT_EQ(0, agent.subscribeTo("AfterDelete", "Create", 0));
  EXPECT_TRUE(agent.isSubscribed("AfterDelete", "Create"));
  vytest::Agent::setProperty("AgentTraceLevel", nullptr);
}

}  // namespace
