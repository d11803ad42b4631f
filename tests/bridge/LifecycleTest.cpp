// The lifecycle entry points driven through the real agent object: version check, the
// connector's slots, exceptions of every kind, and the versions the bridge reports.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestConnectorControl.hpp"
#include "TestConnectorFixture.hpp"
#include "TestTypeTexts.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

using LifecycleTest = vytest::TestConnectorTest;

TEST_F(LifecycleTest, InitWithTheFrameworkVersionCallsTheConnector) {
  Agent agent;
  Agent::setProperty("Test.InitResult", "5");
  EXPECT_EQ(5, agent.init("4.1.0"));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kInit));
  EXPECT_TRUE(agent.messagesNumbered(17017).empty());
  EXPECT_EQ(0, agent.terminate());
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kTerminate));
  EXPECT_EQ(nullptr, JToCPPVeneer::getTheHandlerStuff());
}

TEST_F(LifecycleTest, OtherVersionsAreRefusedWithMessage17017) {
  for (const char* version : {"4.1.1", "4.0.0", "3.9.9", "garbage"}) {
    Agent agent;
    EXPECT_EQ(-1, agent.init(version)) << version;
    EXPECT_EQ(0, vyTestConnectorCalls(vytest::kInit)) << version;
    auto msgs = agent.messagesNumbered(17017);
    ASSERT_EQ(1u, msgs.size()) << version;
    EXPECT_EQ(KyMsgFormat::MLV_FATAL, msgs[0].type);
    EXPECT_EQ(1, msgs[0].set);
    EXPECT_EQ(0, msgs[0].argCount);
    EXPECT_EQ("", msgs[0].args);
    EXPECT_FALSE(msgs[0].hasText);
    EXPECT_TRUE(agent.logged("17017")) << version;
    // The veneer still answers callbacks.
    ASSERT_NE(nullptr, JToCPPVeneer::getTheHandlerStuff());
    Agent::setProperty("Some.Property", "value");
    char buf[32];
    EXPECT_EQ(5,
              JToCPPVeneer::getTheHandlerStuff()->getConfigProp("Some.Property", buf, sizeof buf));
  }
}

TEST_F(LifecycleTest, NullVersionIsAMismatchNotACrash) {
  Agent agent;
  EXPECT_EQ(-1, agent.init(nullptr, nullptr));
  EXPECT_EQ(1u, agent.messagesNumbered(17017).size());
}

TEST_F(LifecycleTest, WithoutRegisteredGlobalsInitFails) {
  JToCPPVeneer::setTheAppGlob(nullptr);
  Agent agent;
  EXPECT_EQ(-1, agent.init("4.1.0"));
  EXPECT_EQ(-1, agent.poll());
  EXPECT_EQ("", agent.getVersion());
  agent.suspend();  // nothing to call, nothing breaks
}

TEST_F(LifecycleTest, VersionsOfTheBridge) {
  Agent agent;
  agent.init();
  EXPECT_EQ("4.1.1.0", agent.cjniVersion());
  EXPECT_EQ("4.1.0", agent.cdkVersion());
  EXPECT_EQ("9.9.9", agent.getVersion());
  Agent::setProperty("Test.Version", "2.7.1");
  EXPECT_EQ("2.7.1", agent.getVersion());
}

TEST_F(LifecycleTest, PollAndSuspendResumeReachTheConnector) {
  Agent agent;
  agent.init();
  Agent::setProperty("Test.PollResult", "3");
  EXPECT_EQ(3, agent.poll());
  agent.suspend();
  agent.resume();
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kSuspend));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kResume));
}

struct Thrower {
  const char* slot;
  const char* kind;
};

TEST_F(LifecycleTest, ConnectorExceptionsBecomeMinusOneAndMessage80401) {
  for (const char* kind : {"int", "string", "object"}) {
    {
      Agent agent;
      Agent::setProperty("Test.Throw.init", kind);
      EXPECT_EQ(-1, agent.init()) << kind;
      auto msgs = agent.messagesNumbered(80401);
      ASSERT_EQ(1u, msgs.size()) << kind;
      EXPECT_EQ("init", msgs[0].args);
      EXPECT_EQ(KyMsgFormat::MLV_ERROR, msgs[0].type);
      EXPECT_EQ(1, msgs[0].set);
      EXPECT_EQ(1, msgs[0].argCount);
    }
    Agent agent;
    agent.init();
    Agent::setProperty("Test.Throw.poll", kind);
    EXPECT_EQ(-1, agent.poll());
    Agent::setProperty("Test.Throw.getVersion", kind);
    EXPECT_EQ("", agent.getVersion());
    Agent::setProperty("Test.Throw.terminate", kind);
    EXPECT_EQ(-1, agent.terminate());
    std::vector<std::string> ops;
    for (auto& m : agent.messagesNumbered(80401)) ops.push_back(m.args);
    EXPECT_EQ((std::vector<std::string>{"poll", "getVersion", "terminate"}), ops) << kind;
  }
}

TEST_F(LifecycleTest, AJavaExceptionFromACallbackIsDescribedAndCleared) {
  Agent agent;
  agent.init();
  Agent::setThrowOnConfig(true);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0, agent.poll());  // the connector's property read meets the exception
  std::string err = ::testing::internal::GetCapturedStderr();
  Agent::setThrowOnConfig(false);
  EXPECT_NE(std::string::npos,
            err.find("Error: Java Exception occurred while in native method.\n"));
  EXPECT_NE(std::string::npos, err.find("configuration unavailable"));
  EXPECT_FALSE(vytest::env()->ExceptionCheck());
}

TEST_F(LifecycleTest, ASecondInitReplacesTheVeneer) {
  Agent agent;
  agent.init();
  JToCPPVeneer* first = JToCPPVeneer::getTheHandlerStuff();
  EXPECT_EQ(0, agent.init());
  EXPECT_NE(nullptr, JToCPPVeneer::getTheHandlerStuff());
  (void)first;
}

TEST_F(LifecycleTest, EntryPointsAfterTerminateDoNotCrash) {
  Agent agent;
  agent.init();
  agent.terminate();
  EXPECT_EQ(-1, agent.poll());
  EXPECT_EQ("", agent.getVersion());
  agent.suspend();
  agent.setTraceLevel(3);
  EXPECT_EQ(-1, agent.terminate());
}

}  // namespace

// ---- a connector stopped and started again in one process ----

namespace restart {

const char kType[] = "RsOrder";

std::string specText() { return vytest::stringSpecText(kType, {"Id", "Note"}, {"Create"}); }

// A Create of the test type (its spec must be filed).
std::string request() { return vytest::createRequest(kType, "7"); }

}  // namespace restart

// The handler filed by the first run keeps serving after terminate and init: it must reach the
// agent through the running connector, never through what the first run freed (this runs under
// AddressSanitizer in make test-asan).
TEST_F(LifecycleTest, RestartServesHandlersFiledByTheEarlierRun) {
  for (bool announceAgain : {false, true}) {
    Agent::setProperty("Test.Verb.HandlerLog", "on");
    {
      Agent first;
      ASSERT_EQ(0, first.init());
      first.gotBusObjSpec(restart::specText());
      EXPECT_EQ(1, first.doVerbFor(restart::request()).status);
      EXPECT_EQ(0, first.terminate());
    }
    Agent second;
    Agent::setProperty("Test.Verb.HandlerLog", "on");
    ASSERT_EQ(0, second.init());
    if (announceAgain) second.gotBusObjSpec(restart::specText());
    vytest::VerbResult r = second.doVerbFor(restart::request());
    EXPECT_EQ(1, r.status) << r.error;
    EXPECT_TRUE(second.logged("Test.Verb.HandlerLog")) << "announced again: " << announceAgain;
  }
}

TEST_F(LifecycleTest, TracingWithNoRunningConnectorDoesNothing) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  agent.init();
  agent.terminate();
  agent.clearRecords();
  JToCPPVeneer* none = JToCPPVeneer::getTheHandlerStuff();
  ASSERT_EQ(nullptr, none);
  // Connector code that kept the pointer, or asks for it after terminate.
  none->traceWrite(Tracing::LEVEL1, "after terminate", nullptr);
  JToCPPVeneer::traceWrite(Tracing::LEVEL1, "after terminate", "static");
  GenGlobals* globals = JToCPPVeneer::getTheAppGlob();
  ASSERT_NE(nullptr, globals);
  globals->generateAndTraceMsg(1, 0, Tracing::LEVEL1, 1, "x");
  globals->traceWrite(Tracing::LEVEL1, "after terminate", nullptr);
  EXPECT_TRUE(agent.traces().empty());
}

TEST_F(LifecycleTest, VersionMismatchIsNotTracedAsCalled) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  EXPECT_EQ(-1, agent.init("4.1.1"));
  for (const vytest::TraceLine& t : agent.traces())
    EXPECT_EQ(std::string::npos, t.msg.find("n_init called")) << t.msg;
  EXPECT_EQ(0, vyTestConnectorCalls(vytest::kInit));
}

// Names, indents and second trace texts reach the agent as every other text does: characters
// beyond the Basic Multilingual Plane survive the default UTF-8 encoding.
TEST_F(LifecycleTest, NamesBeyondTheBasicPlaneReachTheAgentWhole) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600 in UTF-8, as connector code has it
  const std::string java = "\xED\xA0\xBD\xED\xB8\x80";  // the same in the JVM's modified UTF-8
  Agent agent;
  Agent::setProperty("ConnectorName", ("Conn" + java).c_str());
  Agent::setProperty("AgentTraceLevel", "5");
  Agent::setDeltaSupport("Ty" + java, "true");
  agent.setEncoding("UTF-8");
  ASSERT_EQ(0, agent.init());
  agent.clearRecords();
  agent.gotBusObjSpec(restart::specText());
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  v->traceWrite(Tracing::LEVEL1, "line", ("second " + emoji).c_str());
  std::vector<vytest::TraceLine> traces = agent.traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ("Conn" + java, traces.back().name);
  EXPECT_EQ("second " + java, traces.back().text2);
  EXPECT_EQ(1, v->getDeltaSupport(("Ty" + emoji).c_str()));

  BusinessObject bo(restart::kType);
  ReturnStatusDescriptor status;
  v->consumeSync(const_cast<char*>(("Collab" + emoji).c_str()), bo, status);
  std::vector<vytest::SyncRequest> syncs = agent.syncs();
  ASSERT_FALSE(syncs.empty());
  EXPECT_EQ("Collab" + java, syncs.back().collab);
}
