// The agent services as connector code reaches them: configuration, delta support, logging,
// the first fatal message, tracing levels and message generation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "../model/BusinessObjectTestSpecs.hpp"
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

TEST(ConfigPropTest, NonAsciiAndHugeValuesArrive) {
  Agent agent;
  agent.init();
  Agent::setProperty("Name", "Zürich ✓");
  char buf[64];
  EXPECT_EQ(static_cast<int>(std::strlen("Zürich ✓")),
            veneer()->getConfigProp("Name", buf, sizeof buf));
  EXPECT_STREQ("Zürich ✓", buf);
  std::string big(1 << 20, 'v');
  Agent::setProperty("Big", big.c_str());
  std::string out(big.size() + 1, '\0');
  EXPECT_EQ(static_cast<int>(big.size()),
            veneer()->getConfigProp("Big", &out[0], static_cast<int>(out.size())));
  EXPECT_EQ(0, std::memcmp(out.data(), big.data(), big.size()));
}

TEST(ConfigPropTest, DeltaSupportIsTrueExactly) {
  Agent agent;
  agent.init();
  Agent::setDeltaSupport("Yes", "true");
  Agent::setDeltaSupport("Caps", "TRUE");
  Agent::setDeltaSupport("No", "false");
  Agent::setDeltaSupport("Empty", "");
  Agent::setDeltaSupport("Long", "true but longer than the buffer");
  EXPECT_EQ(1, veneer()->getDeltaSupport("Yes"));
  EXPECT_EQ(0, veneer()->getDeltaSupport("Caps"));
  EXPECT_EQ(0, veneer()->getDeltaSupport("No"));
  EXPECT_EQ(0, veneer()->getDeltaSupport("Empty"));
  EXPECT_EQ(0, veneer()->getDeltaSupport("Missing"));
  EXPECT_EQ(0, veneer()->getDeltaSupport("Long"));
}

TEST(ConfigPropTest, ConnectorNameDefaultsAndNamesTheTraces) {
  {
    Agent agent;
    Agent::setProperty("AgentTraceLevel", "1");
    agent.init();
    veneer()->traceWrite(1, "hello", nullptr);
    auto traces = agent.traces();
    ASSERT_FALSE(traces.empty());
    EXPECT_EQ("Generic_Connector", traces.back().name);
  }
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "1");
  Agent::setProperty("ConnectorName", "Orders");
  agent.init();
  veneer()->traceWrite(1, "hello", "second");
  auto traces = agent.traces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ("Orders", traces.back().name);
  EXPECT_EQ("hello", traces.back().msg);
  EXPECT_TRUE(traces.back().hasText2);
  EXPECT_EQ("second", traces.back().text2);
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

TEST(LoggingTest, SeverityAndTheFirstFatalMessage) {
  Agent agent;
  agent.init();
  JToCPPVeneer::deletefatalErrorFirstMessage();
  veneer()->logMsg("plain");
  veneer()->logMsg("a warning", KyMsgFormat::MLV_WARNING);
  EXPECT_EQ(nullptr, JToCPPVeneer::getfatalErrorFirstMessage());
  veneer()->logMsg("the error", KyMsgFormat::MLV_ERROR);
  veneer()->logMsg("the fatal", KyMsgFormat::MLV_FATAL);
  const char* first = JToCPPVeneer::getfatalErrorFirstMessage();
  ASSERT_NE(nullptr, first);
  EXPECT_TRUE(
      std::regex_match(first, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.xxx: the error)")))
      << first;
  // Another thread keeps its own first message.
  std::thread([] {
    EXPECT_EQ(nullptr, JToCPPVeneer::getfatalErrorFirstMessage());
    JToCPPVeneer::getTheHandlerStuff()->logMsg("other thread", KyMsgFormat::MLV_UNKNOWN);
    EXPECT_NE(nullptr, std::strstr(JToCPPVeneer::getfatalErrorFirstMessage(), "other thread"));
  }).join();
  EXPECT_NE(nullptr, std::strstr(JToCPPVeneer::getfatalErrorFirstMessage(), "the error"));
  JToCPPVeneer::deletefatalErrorFirstMessage();
  EXPECT_EQ(nullptr, JToCPPVeneer::getfatalErrorFirstMessage());
  veneer()->logMsg("next", KyMsgFormat::MLV_UNKNOWN);
  EXPECT_NE(nullptr, std::strstr(JToCPPVeneer::getfatalErrorFirstMessage(), "next"));
  JToCPPVeneer::deletefatalErrorFirstMessage();

  auto logs = agent.logs();
  ASSERT_GE(logs.size(), 4u);
  EXPECT_EQ(-1, logs[0].severity);  // logged without a severity
  EXPECT_EQ("plain", logs[0].text);
  EXPECT_EQ(KyMsgFormat::MLV_WARNING, logs[1].severity);
  EXPECT_EQ(KyMsgFormat::MLV_ERROR, logs[2].severity);
}

TEST(LoggingTest, AMegabyteMessageIsLoggedWhole) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "5");
  agent.init();
  std::string big(1 << 20, 'm');
  veneer()->logMsg(big.c_str());
  veneer()->traceWrite(5, big.c_str(), nullptr);
  BusObjNativeImplTraceMsg(big.c_str());
  auto logs = agent.logs();
  ASSERT_FALSE(logs.empty());
  EXPECT_EQ(big.size(), logs.back().text.size());
  auto traces = agent.traces();
  ASSERT_GE(traces.size(), 2u);
  EXPECT_EQ(big.size(), traces.back().msg.size());
}

TEST(TracingTest, TheLevelFiltersLinesAndIsReported) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "3");
  agent.init();
  auto m80404 = agent.messagesNumbered(80404);
  ASSERT_EQ(1u, m80404.size());
  EXPECT_EQ("3", m80404[0].args);
  EXPECT_EQ(KyMsgFormat::MLV_TRACE, m80404[0].type);
  EXPECT_EQ(1, m80404[0].set);
  auto m80405 = agent.messagesNumbered(80405);
  ASSERT_EQ(1u, m80405.size());
  EXPECT_EQ("3,3", m80405[0].args);
  EXPECT_EQ(2, m80405[0].argCount);

  agent.clearRecords();
  for (int level = -1; level <= 5; ++level)
    veneer()->traceWrite(level, std::to_string(level).c_str(), nullptr);
  std::vector<int> seen;
  for (auto& t : agent.traces()) seen.push_back(t.level);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), seen);

  agent.setTraceLevel(5);
  EXPECT_EQ("5,5", agent.messagesNumbered(80405).back().args);
  agent.clearRecords();
  veneer()->traceWrite(5, "five", nullptr);
  EXPECT_EQ(1u, agent.traces().size());
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

TEST(TracingTest, ABusinessObjectIsTracedWholeAtLevelFourWhateverItsSize) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "4");
  agent.init();
  bospecs::announce(agent);
  for (size_t size : {size_t{10}, size_t{5120}, size_t{6000}, size_t{30000}}) {
    std::string name(size, 'n');
    name.back() = 'Z';
    std::unique_ptr<BusinessObject> bo(bospecs::make("Customer", "Update", {"42", name.c_str()}));
    std::string dump(size + 4096, '\0');
    int written = bo->dump(&dump[0], static_cast<int>(dump.size()));
    ASSERT_GT(written, 0);
    dump.resize(static_cast<size_t>(written));
    agent.clearRecords();
    BusObjNativeImplTraceBO("doUpdate", bo.get());
    auto traces = agent.traces();
    ASSERT_EQ(1u, traces.size()) << "size " << size;
    EXPECT_EQ(4, traces[0].level);
    EXPECT_EQ("Method doUpdate tracing BusinessObject Customer" + dump, traces[0].msg)
        << "size " << size;
  }
  std::unique_ptr<BusinessObject> bo(bospecs::make("Customer", "Update", {"42"}));
  agent.clearRecords();
  BusObjNativeImplTraceBO("doUpdate", nullptr);
  agent.setTraceLevel(3);
  BusObjNativeImplTraceBO("doUpdate", bo.get());
  EXPECT_TRUE(agent.traces().empty());
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

TEST(VeneerVerbTest, WithoutAHandlerDoVerbForFailsWithoutCallingAnything) {
  vyTestConnectorReset();
  Agent agent;
  Agent::setProperty("Test.NoHandler", "true");
  agent.init();
  bospecs::announce(agent);
  Agent::setProperty("Test.NoHandler", nullptr);
  std::unique_ptr<BusinessObject> bo(bospecs::make("Customer", "Create", {"1"}));
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, veneer()->doVerbFor(*bo, &status));
  EXPECT_EQ(0, vyTestConnectorCalls(vytest::kVerb));
}

TEST(MessageTest, TheMessageFormatKeepsAndFreesItsText) {
  KyMsgFormat format;
  EXPECT_EQ(nullptr, format.getMsg());
  char* first = strdup("first");
  format.setMsg(first);
  EXPECT_EQ(first, format.getMsg()) << "stored as is";
  char* second = strdup("second");
  format.setMsg(second);
  EXPECT_EQ(second, format.getMsg());
  std::free(first);  // setMsg does not free what it replaces
  {
    KyMsgFormat scoped;
    scoped.setMsg(strdup("freed with the object"));  // the leak checker sees it go
  }
  format.setMsg(nullptr);
  std::free(second);
}

TEST(MessageTest, ParametersArePackedAndSetsDistinguished) {
  Agent agent;
  agent.init();
  GenGlobals* g = JToCPPVeneer::getTheAppGlob();
  char* none = g->generateMsg(10, KyMsgFormat::MLV_INFO, nullptr, 0);
  EXPECT_STREQ("10: ", none);
  g->freeMemory(none);
  char* two = g->generateMsg(11, KyMsgFormat::MLV_WARNING, "extra", 2, "a,b", "c");
  EXPECT_STREQ("11: a,b,c | extra", two);
  g->freeMemory(two);
  char* ky = veneer()->generateKyMsg(12, KyMsgFormat::MLV_ERROR, nullptr, 1, "x");
  g->freeMemory(ky);
  auto msgs = agent.messages();
  ASSERT_GE(msgs.size(), 3u);
  auto& m10 = msgs[msgs.size() - 3];
  auto& m11 = msgs[msgs.size() - 2];
  auto& m12 = msgs[msgs.size() - 1];
  EXPECT_EQ(0, m10.set);
  EXPECT_EQ("", m10.args);
  EXPECT_FALSE(m10.hasText);
  EXPECT_EQ(2, m11.argCount);
  EXPECT_EQ("a,b,c", m11.args);
  EXPECT_EQ("extra", m11.text);
  EXPECT_EQ(1, m12.set);

  std::string huge(10000, 'p');
  char* cut = g->generateMsg(13, KyMsgFormat::MLV_INFO, nullptr, 2, huge.c_str(), "tail");
  g->freeMemory(cut);
  EXPECT_EQ(4095u, agent.messagesNumbered(13).at(0).args.size());
}

TEST(MessageTest, GenerateAndLogAndTrace) {
  Agent agent;
  Agent::setProperty("AgentTraceLevel", "2");
  agent.init();
  JToCPPVeneer::deletefatalErrorFirstMessage();
  GenGlobals* g = JToCPPVeneer::getTheAppGlob();
  g->generateAndLogMsg(20, 0, 1, "p");
  g->generateAndLogMsg(21, KyMsgFormat::MLV_ERROR, 0);
  auto logs = agent.logs();
  ASSERT_EQ(2u, logs.size());
  EXPECT_EQ("20: p", logs[0].text);
  EXPECT_EQ(-1, logs[0].severity);
  EXPECT_EQ(KyMsgFormat::MLV_ERROR, logs[1].severity);
  EXPECT_NE(nullptr, std::strstr(JToCPPVeneer::getfatalErrorFirstMessage(), "21: "));
  JToCPPVeneer::deletefatalErrorFirstMessage();

  g->generateAndTraceMsg(22, KyMsgFormat::MLV_TRACE, 3, 0);  // above the level: nothing
  EXPECT_TRUE(agent.messagesNumbered(22).empty());
  g->generateAndTraceMsg(23, KyMsgFormat::MLV_TRACE, 2, 1, "q");
  ASSERT_EQ(1u, agent.messagesNumbered(23).size());
  EXPECT_EQ("23: q", agent.traces().back().msg);
  EXPECT_EQ(2, agent.traces().back().level);
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
