// The agent services as connector code reaches them through the JVM's agent: which properties the
// agent is asked for, the encoding asked once, the entry points' traces, the handler's error text
// on a request, the perf monitors, and callbacks from native threads. (The same services on the
// native agent port are tested in ../VeneerServicesTest.cpp.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "BusinessObjectTestSpecs.hpp"
#include "TestConnectorControl.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

JToCPPVeneer* veneer() { return JToCPPVeneer::getTheHandlerStuff(); }

TEST(ConfigPropTest, ValuesAreCutToTheBufferAndAbsentOnesAreEmpty) {
  Agent agent;
  agent.init();
  char buf[8];
  Agent::setProperty("Seven", "1234567");
  EXPECT_EQ(7, veneer()->getConfigProp("Seven", buf, sizeof buf));
  EXPECT_STREQ("1234567", buf);
  Agent::setProperty("Eight", "12345678");
  EXPECT_EQ(7, veneer()->getConfigProp("Eight", buf, sizeof buf));
  EXPECT_STREQ("1234567", buf);
  std::strcpy(buf, "junk");
  EXPECT_EQ(0, veneer()->getConfigProp("Absent", buf, sizeof buf));
  EXPECT_STREQ("", buf);
  std::strcpy(buf, "junk");
  size_t asked = Agent::configRequests().size();
  EXPECT_EQ(0, CallJavaForgetConfigProp(nullptr, buf, sizeof buf));
  EXPECT_STREQ("", buf);
  EXPECT_EQ(asked, Agent::configRequests().size()) << "a null name makes no Java call";
}

TEST(EncodingTest, AskedOncePerProcess) {
  Agent agent;
  agent.init();
  const char* first = CallJavaForGetEncoding();
  int asked = agent.encodingRequests();
  EXPECT_LE(asked, 1);
  const char* again = CallJavaForGetEncoding();
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, again);
  EXPECT_STREQ("UTF-8", first);
  const char* locale = CallJavaForGetLocale();
  ASSERT_NE(nullptr, locale);
  EXPECT_EQ(locale, CallJavaForGetLocale());
  EXPECT_STREQ("en_US", locale);
  EXPECT_EQ(asked, agent.encodingRequests());
  EXPECT_LE(agent.localeRequests(), 1);
}

TEST(TracingTest, LevelZeroBuildsNoFrameworkTraceAtAll) {
  Agent agent;
  agent.init();
  Agent::setProperty("X", "y");
  char buf[8];
  veneer()->getConfigProp("X", buf, sizeof buf);
  veneer()->getDeltaSupport("X");
  agent.poll();
  agent.suspend();
  agent.resume();
  BusObjNativeImplTraceMsg("nothing");
  EXPECT_TRUE(agent.traces().empty());
  EXPECT_EQ("0", agent.messagesNumbered(80404).at(0).args);
}

TEST(TracingTest, FrameworkTracesAtLevelFive) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  agent.init();
  Agent::setProperty("X", "y");
  char buf[8];
  veneer()->getConfigProp("X", buf, sizeof buf);
  Agent::setDeltaSupport("T", "true");
  veneer()->getDeltaSupport("T");
  agent.suspend();
  std::vector<std::string> lines;
  for (auto& t : agent.traces()) lines.push_back(t.msg);
  auto has = [&](const std::string& s) {
    for (auto& l : lines)
      if (l == s) return true;
    return false;
  };
  EXPECT_TRUE(has("BusObjNativeInterface_n_init called."));
  EXPECT_TRUE(has("y was returned from AppEndConfig for property name:X"));
  EXPECT_TRUE(has("true was returned from AppEndConfig for deltaSupport for object name:T"));
  EXPECT_TRUE(has("Java_AppSide_1Connector_BusObjNativeInterface_n_1suspend called."));
}

TEST(TracingTest, ANamedTracingReadsItsLevelFromTheAgent) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "3");
  agent.init();
  agent.clearRecords();
  char name[] = "Component";
  Tracing named(name);
  name[0] = 'X';  // the object keeps its own copy
  EXPECT_STREQ("Component", named.getName());
  EXPECT_EQ(3, named.getTraceLevel());
  ASSERT_EQ(1u, agent.messagesNumbered(80404).size());
  EXPECT_EQ("3", agent.messagesNumbered(80404)[0].args);
  EXPECT_EQ(KyMsgFormat::MLV_TRACE, agent.messagesNumbered(80404)[0].type);
  ASSERT_EQ(1u, agent.messagesNumbered(80405).size());
  EXPECT_EQ("3,3", agent.messagesNumbered(80405)[0].args);

  agent.clearRecords();
  named.write(3, "three");
  named.write(4, "four");
  named.write(-1, "negative");
  auto traces = agent.traces();
  ASSERT_EQ(1u, traces.size());
  EXPECT_EQ("Component", traces[0].name) << "lines carry this object's name, not the veneer's";
  EXPECT_EQ("three", traces[0].msg);
  EXPECT_FALSE(traces[0].hasText2);

  // A new name (malloc'd, taken over) is used from the next line on.
  named.setName(strdup("Renamed"));
  named.write(1, "one", "two");
  ASSERT_EQ(2u, agent.traces().size());
  EXPECT_EQ("Renamed", agent.traces()[1].name);
  EXPECT_EQ("two", agent.traces()[1].text2);

  // Without a name nothing is asked and tracing stays off.
  agent.clearRecords();
  size_t asked = Agent::configRequests().size();
  Tracing unnamed(nullptr);
  EXPECT_EQ(nullptr, unnamed.getName());
  EXPECT_EQ(0, unnamed.getTraceLevel());
  EXPECT_TRUE(agent.messages().empty());
  EXPECT_EQ(asked, Agent::configRequests().size());

  // A level that is not a number is level 0.
  Agent::setProperty("AgentTraceLevel", "high");
  Tracing notANumber("N");
  EXPECT_EQ(0, notANumber.getTraceLevel());
  EXPECT_EQ("0", agent.messagesNumbered(80404).back().args);
}

TEST(TracingTest, TheHandlersErrorTextIsTracedAtLevelThree) {
  for (int level : {0, 2, 3, 5}) {
    Agent agent;
    Agent::setProperty("AgentTraceLevel", std::to_string(level).c_str());
    Agent::setProperty("Test.Verb.Error", "no such customer");
    Agent::setProperty("Test.Verb.Result", level == 5 ? "-1" : "1");
    agent.init();
    bospecs::announce(agent);
    std::unique_ptr<BusinessObject> bo(bospecs::make("Customer", "Create", {"1"}));
    std::u16string request = bospecs::units(*std::unique_ptr<StringMessage>(bo->toStringMessage()));
    agent.clearRecords();
    vytest::VerbResult r = agent.doVerbFor(request);
    EXPECT_EQ(level == 5 ? -1 : 1, r.status);
    EXPECT_TRUE(r.hasError);
    EXPECT_EQ("no such customer", r.error);
    std::vector<vytest::TraceLine> lines;
    for (const auto& t : agent.traces())
      if (t.msg.find("Message from Connector") != std::string::npos) lines.push_back(t);
    if (level < 3) {
      EXPECT_TRUE(lines.empty()) << "level " << level;
      continue;
    }
    ASSERT_EQ(1u, lines.size()) << "level " << level;
    EXPECT_EQ("Message from Connector  no such customer", lines[0].msg) << "two blanks";
    EXPECT_EQ(3, lines[0].level);
    EXPECT_FALSE(lines[0].hasText2);
  }
  Agent::setProperty("Test.Verb.Error", nullptr);
  Agent::setProperty("Test.Verb.Result", nullptr);
}

TEST(VeneerVerbTest, DoVerbForCallsTheSpecsHandlerTracedAndTimed) {
  vyTestConnectorReset();
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "4");
  Agent::setProperty("PerfLevel", "1");
  Agent::setProperty("ConnectorName", "VenConn");
  Agent::setProperty("Test.Verb.Result", "7");
  Agent::setProperty("Test.Verb.SetAttr", "1=changed");
  agent.getPerfMonitors();  // whatever earlier tests left
  agent.init();
  bospecs::announce(agent);
  std::unique_ptr<BusinessObject> bo(bospecs::make("Customer", "Create", {"1", "before"}));
  agent.clearRecords();
  ReturnStatusDescriptor status;
  EXPECT_EQ(7, veneer()->doVerbFor(*bo, &status));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kVerb));
  EXPECT_EQ("changed", bospecs::text(bo->getAttrValue(1))) << "the handler worked on this object";
  auto traces = agent.traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ("JToCPPVeneer::doVerbFor call for Object named: Customer", traces[0].msg);
  EXPECT_EQ(4, traces[0].level);
  EXPECT_NE(std::string::npos, agent.getPerfMonitors().find("VenConn~doverbfor~"));

  // No status object is fine; below level 4 nothing is traced.
  agent.setTraceLevel(3);
  agent.clearRecords();
  EXPECT_EQ(7, veneer()->doVerbFor(*bo, nullptr));
  EXPECT_EQ(2, vyTestConnectorCalls(vytest::kVerb));
  EXPECT_TRUE(agent.traces().empty());
  for (const char* p : {"PerfLevel", "ConnectorName", "Test.Verb.Result", "Test.Verb.SetAttr"})
    Agent::setProperty(p, nullptr);
}

TEST(CallbackTest, CollaborationsAndPolling) {
  Agent agent;
  agent.setCapableOfPolling(false);
  agent.init();
  EXPECT_EQ(0, JToCPPVeneer::getTheAppGlob()->isAgentCapableOfPolling());
  agent.setCapableOfPolling(true);
  EXPECT_EQ(1, JToCPPVeneer::getTheAppGlob()->isAgentCapableOfPolling());
}

TEST(CallbackTest, ANativeThreadCallsBackManyTimesWithoutGrowingLocalRefs) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  Agent::setProperty("P", "v");
  agent.init();
  agent.setRecording(false);
  std::thread([] {
    char buf[8];
    for (int i = 0; i < 20000; ++i) {
      JToCPPVeneer::getTheHandlerStuff()->getConfigProp("P", buf, sizeof buf);
      JToCPPVeneer::getTheHandlerStuff()->logMsg("x", KyMsgFormat::MLV_INFO);
      JToCPPVeneer::getTheHandlerStuff()->traceWrite(5, "t", "u");
      std::free(JToCPPVeneer::getTheHandlerStuff()->generateKyMsg(1, 5, "e", 1, "a"));
    }
  }).join();
  agent.setRecording(true);
}

}  // namespace
