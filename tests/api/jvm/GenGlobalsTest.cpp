// The connector's globals object: the one constructed last is the one the framework calls, and
// a connector that keeps the default suspend and resume runs through both at run time.
#include <gtest/gtest.h>

#include <memory>

#include "TestConnectorControl.hpp"
#include "TestConnectorFixture.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

// Overrides only what a connector must (slots 2 to 6): suspend and resume are the base's.
class MinimalGlobals : public GenGlobals {
 public:
  explicit MinimalGlobals(int initResult) : initResult_(initResult) {}
  BOHandlerCPP* getBOHandlerforBO(char*) override { return nullptr; }
  int init(KyVersion*) override {
    ++inits;
    return initResult_;
  }
  int pollForEvents() override {
    ++polls;
    return 0;
  }
  int terminate() override {
    ++terminates;
    return 0;
  }
  char* getVersion() override { return const_cast<char*>("1.2.3"); }

  int inits = 0;
  int polls = 0;
  int terminates = 0;

 private:
  int initResult_;
};

using GenGlobalsTest = vytest::TestConnectorTest;

TEST_F(GenGlobalsTest, TheLastConstructedGlobalsAreTheOnesCalled) {
  GenGlobals* before = JToCPPVeneer::getTheAppGlob();
  ASSERT_NE(nullptr, before);
  auto first = std::make_unique<MinimalGlobals>(11);
  auto second = std::make_unique<MinimalGlobals>(22);
  EXPECT_EQ(second.get(), JToCPPVeneer::getTheAppGlob());
  {
    Agent agent;
    EXPECT_EQ(22, agent.init());
    EXPECT_EQ("1.2.3", agent.getVersion());
    agent.poll();
    EXPECT_EQ(0, agent.terminate());
  }
  EXPECT_EQ(1, second->inits);
  EXPECT_EQ(1, second->polls);
  EXPECT_EQ(1, second->terminates);
  EXPECT_EQ(0, first->inits + first->polls + first->terminates);
  EXPECT_EQ(0, vyTestConnectorCalls(vytest::kInit)) << "the connector built earlier is not asked";

  // An earlier object going away leaves the registration alone; the registered one going away
  // leaves nothing registered rather than a dangling object.
  first.reset();
  EXPECT_EQ(second.get(), JToCPPVeneer::getTheAppGlob());
  second.reset();
  EXPECT_EQ(nullptr, JToCPPVeneer::getTheAppGlob());
  Agent agent;
  EXPECT_EQ(-1, agent.init());
}

TEST_F(GenGlobalsTest, DefaultSuspendAndResumeDoNothingAtRunTime) {
  MinimalGlobals globals(0);
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  ASSERT_EQ(0, agent.init());
  agent.clearRecords();
  for (int i = 0; i < 3; ++i) {
    agent.suspend();
    agent.resume();
  }
  // Both entry points still ran (and traced) and the connector goes on serving.
  int suspends = 0;
  int resumes = 0;
  for (const auto& t : agent.traces()) {
    if (t.msg.find("n_1suspend") != std::string::npos) ++suspends;
    if (t.msg.find("n_1resume") != std::string::npos) ++resumes;
  }
  EXPECT_EQ(3, suspends);
  EXPECT_EQ(3, resumes);
  EXPECT_TRUE(agent.logs().empty()) << "nothing to report";
  EXPECT_EQ(0, agent.poll());
  EXPECT_EQ(1, globals.polls);
  EXPECT_EQ(0, vyTestConnectorCalls(vytest::kSuspend) + vyTestConnectorCalls(vytest::kResume));
  // Called directly, the defaults are as quiet.
  globals.suspend();
  globals.resume();
  EXPECT_EQ(0, agent.terminate());
}

}  // namespace
