// The agent services as connector code reaches them: configuration, delta support, logging,
// the first fatal message, tracing levels and message generation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "BusinessObjectTestSpecs.hpp"
#include "NativeAgent.hpp"
#include "TestConnectorControl.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

JToCPPVeneer* veneer() { return JToCPPVeneer::getTheHandlerStuff(); }

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

}  // namespace
