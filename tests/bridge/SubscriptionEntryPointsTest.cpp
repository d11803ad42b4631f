// The subscription entry points and the performance report, driven through the real agent
// object: null verbs, perf values that stay, cancels, trace lines and the monitor text.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestConnectorControl.hpp"
#include "TestConnectorFixture.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

int perfOf(const char* name) {
  return JToCPPVeneer::getTheHandlerStuff()->getTheSubHandler()->getPerf(name);
}

bool traced(Agent& agent, const std::string& line) {
  for (const auto& t : agent.traces()) {
    if (t.msg.find(line) != std::string::npos) return true;
  }
  return false;
}

// The flow texts of a monitor report, which starts "#~" and ends every flow with "#".
std::vector<std::string> flowsOf(const std::string& report) {
  std::vector<std::string> out;
  EXPECT_EQ(0u, report.rfind("#~", 0)) << report;
  size_t pos = 2;
  while (pos < report.size()) {
    size_t end = report.find('#', pos);
    EXPECT_NE(std::string::npos, end) << report;
    if (end == std::string::npos) break;
    out.push_back(report.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

class SubscriptionEntryPointsTest : public vytest::TestConnectorTest {
 protected:
  void SetUp() override {
    TestConnectorTest::SetUp();
    agent_.init();
  }
  Agent agent_;
};

TEST_F(SubscriptionEntryPointsTest, NullVerbSubscribesEveryVerbAndIsNeverAskedFor) {
  EXPECT_EQ(0, agent_.subscribeTo("Customer", nullptr, 3));
  EXPECT_TRUE(agent_.isSubscribed("Customer", "Create"));
  EXPECT_TRUE(agent_.isSubscribed("Customer", "Retrieve"));
  EXPECT_FALSE(agent_.isSubscribed("Customer", nullptr));
  EXPECT_FALSE(agent_.isSubscribed("Order", "Create"));
  EXPECT_FALSE(agent_.isSubscribed(nullptr, "Create"));
  EXPECT_EQ(3, perfOf("Customer"));
}

TEST_F(SubscriptionEntryPointsTest, UpdateIgnoresItsFirstIntegerAndKeepsAnExistingPerf) {
  EXPECT_EQ(0, agent_.updateSubscription("Customer", "Create", 99, 4));
  EXPECT_EQ(4, perfOf("Customer"));
  EXPECT_TRUE(agent_.isSubscribed("Customer", "Create"));
  EXPECT_EQ(0, agent_.updateSubscription("Customer", "Create", 4, 8));
  EXPECT_EQ(0, agent_.subscribeTo("Customer", "Create", 9));
  EXPECT_EQ(4, perfOf("Customer"));
  // A name subscribed for every verb takes no specific verb.
  agent_.subscribeTo("Order", nullptr, 1);
  EXPECT_EQ(0, agent_.updateSubscription("Order", "Delete", 0, 6));
  EXPECT_EQ(1, perfOf("Order"));
}

TEST_F(SubscriptionEntryPointsTest, CancelTakesOneVerbOrEveryVerb) {
  agent_.subscribeTo("Customer", "Create", 0);
  agent_.subscribeTo("Customer", "Delete", 0);
  agent_.subscribeTo("Order", nullptr, 0);
  EXPECT_EQ(-1, agent_.cancelSub("Order", "1.0.0", "Create"));
  EXPECT_TRUE(agent_.isSubscribed("Order", "Create"));
  EXPECT_EQ(0, agent_.cancelSub("Customer", "1.0.0", "Create"));
  EXPECT_FALSE(agent_.isSubscribed("Customer", "Create"));
  EXPECT_TRUE(agent_.isSubscribed("Customer", "Delete"));
  EXPECT_EQ(0, agent_.cancelSub("Order", nullptr, nullptr));
  EXPECT_FALSE(agent_.isSubscribed("Order", "Create"));
  EXPECT_EQ(-1, agent_.cancelSub("Nobody", "1.0.0", "Create"));
  EXPECT_EQ(-1, agent_.subscribeTo(nullptr, "Create", 0));
  EXPECT_EQ(-1, agent_.cancelSub(nullptr, nullptr, nullptr));
}

TEST_F(SubscriptionEntryPointsTest, TraceLinesAtLevelFiveCarryWholeNames) {
  agent_.setTraceLevel(5);
  agent_.clearRecords();
  std::string longName(3000, 'L');
  agent_.subscribeTo(longName.c_str(), nullptr, 2);
  agent_.subscribeTo("Customer", "Create", 7);
  agent_.isSubscribed("Customer", "Create");
  agent_.cancelSub("Customer", "1.0.0", "Create");
  EXPECT_TRUE(traced(agent_,
                     "BusObjNativeInterface_n_SubscribeTo got Subscription for BusObjSpec "
                     "named: " +
                         longName + ".\nVerb is: null."));
  EXPECT_TRUE(traced(agent_, "SubscriptionHandlerCPP::subscribeTo call for Object named: " +
                                 longName + ", perf=2"));
  EXPECT_TRUE(traced(agent_,
                     "BusObjNativeInterface_n_SubscribeTo got Subscription for BusObjSpec named: "
                     "Customer.\nVerb is: Create."));
  EXPECT_TRUE(traced(agent_,
                     "SubscriptionHandlerCPP::subscribeTo call for Object named: Customer "
                     "verb: Create, perf=7"));
  EXPECT_TRUE(traced(agent_,
                     "BusObjNativeInterface_n_isSubscribed for BusObjSpec named: "
                     "Customer.\nVerb is: Create."));
  EXPECT_TRUE(traced(agent_,
                     "BusObjNativeInterface_n_CancelSub got CancelSubscription for "
                     "BusObjSpec named: Customer, verb: Create."));
  EXPECT_TRUE(traced(agent_, "SubscriptionHandlerCPP::cancelSub call for Object named: Customer"));
  for (const auto& t : agent_.traces()) EXPECT_EQ(5, t.level) << t.msg;

  // Level 4 writes none of them.
  agent_.setTraceLevel(4);
  agent_.clearRecords();
  agent_.subscribeTo("Quiet", "Create", 0);
  EXPECT_FALSE(traced(agent_, "Quiet"));
}

TEST_F(SubscriptionEntryPointsTest, PerfMonitorsWithoutFlowsIsHashTilde) {
  agent_.getPerfMonitors();  // whatever earlier tests left
  EXPECT_EQ("#~", agent_.getPerfMonitors());
}

TEST(SubscriptionEntryPointsPerfTest, ReportListsTheFlowsUpdatedSinceTheLastOne) {
  vyTestConnectorReset();
  Agent agent;
  Agent::setProperty("PerfLevel", "1");
  Agent::setProperty("ConnectorName", "PerfConn");
  agent.getPerfMonitors();
  agent.init();
  agent.poll();
  agent.poll();
  std::vector<std::string> flows = flowsOf(agent.getPerfMonitors());
  std::sort(flows.begin(), flows.end());
  ASSERT_EQ(2u, flows.size());
  EXPECT_TRUE(std::regex_match(flows[0], std::regex("PerfConn~init~[0-9]+~"))) << flows[0];
  EXPECT_TRUE(std::regex_match(flows[1], std::regex("PerfConn~poll~[0-9]+~"))) << flows[1];
  EXPECT_EQ("#~", agent.getPerfMonitors());
  agent.poll();
  flows = flowsOf(agent.getPerfMonitors());
  ASSERT_EQ(1u, flows.size());
  EXPECT_EQ(0u, flows[0].rfind("PerfConn~poll~", 0));

  // A flow whose text passes the 512-byte line is reported whole.
  std::string longName(600, 'p');
  KyPerfFlow* big = KyPerfUtil::createPerfFlow(longName.c_str(), "op");
  big->start = 10;
  big->stop = 14;
  KyPerfUtil::update(big);
  EXPECT_EQ("#~" + longName + "~op~4~#", agent.getPerfMonitors());
  delete big;
  Agent::setProperty("PerfLevel", nullptr);
  Agent::setProperty("ConnectorName", nullptr);
}

TEST(SubscriptionEntryPointsPerfTest, NothingIsTimedAtPerfLevelZero) {
  vyTestConnectorReset();
  Agent agent;
  agent.getPerfMonitors();
  agent.init();
  agent.poll();
  EXPECT_EQ("#~", agent.getPerfMonitors());
}

}  // namespace
