// What the author sees when connector code throws, returns odd results or is missing its globals
// object: through the real agent object and entry points, the agent's status text and log carry
// what was thrown, beside the framework message requested as it always was.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "TestConnectorControl.hpp"
#include "TestConnectorFixture.hpp"
#include "TestTypeTexts.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

const char kType[] = "FaultOrder";

std::string specText() { return vytest::stringSpecText(kType, {"Id", "Note"}, {"Create"}); }

std::string request() { return vytest::createRequest(kType, "7"); }

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The log lines at MLV_ERROR that mention `part`.
std::vector<vytest::LogLine> errorLogs(Agent& agent, const std::string& part) {
  std::vector<vytest::LogLine> out;
  for (const vytest::LogLine& l : agent.logs())
    if (l.severity == KyMsgFormat::MLV_ERROR && contains(l.text, part)) out.push_back(l);
  return out;
}

// A kind of thrown value, what the author is told of it, and the message a verb has always
// requested for it: its own for ints and texts, 80401 naming the call for everything else.
struct Kind {
  const char* kind;
  const char* thrown;
  int msgNum = 80401;
  const char* msgArg = "DoVerbFor";
};

const Kind kKinds[] = {
    {"int", "the int 7", 80402, "7"},
    {"negative", "the int -2", 80402, "4294967294"},
    {"string", "the text \"connector string failure\"", 80403, "connector string failure"},
    {"chars", "the text \"connector char* failure\"", 80403, "connector char* failure"},
    {"nulltext", "a null text", 80403, ""},
    {"stdstring", "the text \"connector std::string failure\""},
    {"long", "the long 123456789012"},
    {"unsigned", "the unsigned int 42"},
    {"double", "the double 2.5"},
    {"runtime", "std::runtime_error: connector runtime failure"},
    {"derived", "inventory::StockError: no stock for item 12"},
    {"emptywhat", "inventory::Silent (its what() is empty)"},
    {"object", "an object of type (anonymous namespace)::Thrown"},
};

// What the author is told of a thrown value of kind `kind`.
std::string thrownText(const char* kind) {
  for (const Kind& k : kKinds)
    if (std::string(k.kind) == kind) return k.thrown;
  ADD_FAILURE() << "no kind " << kind;
  return "";
}

using ConnectorFaultTest = vytest::TestConnectorTest;

TEST_F(ConnectorFaultTest, AThrowingVerbTellsTheStatusAndTheLogWhatWasThrown) {
  Agent agent;
  ASSERT_EQ(0, agent.init());
  agent.gotBusObjSpec(specText());
  const std::string req = request();
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.kind);
    Agent::setProperty("Test.Throw.verb", k.kind);
    agent.clearRecords();
    vytest::VerbResult r = agent.doVerbFor(req);
    EXPECT_EQ(-1, r.status);
    EXPECT_EQ(req, std::string(r.content.begin(), r.content.end()));  // ASCII request, kept
    // The message requested as before: one, with the same number and argument.
    std::vector<vytest::MsgRequest> all = agent.messages();
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(k.msgNum, all[0].num);
    EXPECT_EQ(k.msgArg, all[0].args);
    EXPECT_EQ(KyMsgFormat::MLV_ERROR, all[0].type);
    EXPECT_EQ(1, all[0].set);
    EXPECT_EQ(1, all[0].argCount);
    // The status text: the agent's formatted message, then what was thrown.
    const std::string formatted = std::to_string(k.msgNum) + ": " + k.msgArg;
    ASSERT_TRUE(r.hasError);
    EXPECT_EQ(0u, r.error.find(formatted)) << r.error;
    EXPECT_TRUE(contains(r.error, std::string("DoVerbFor: the connector threw ") + k.thrown))
        << r.error;
    // One log line at MLV_ERROR with the same text.
    std::vector<vytest::LogLine> logs = errorLogs(agent, k.thrown);
    ASSERT_EQ(1u, logs.size());
    EXPECT_EQ(r.error, logs[0].text);
  }
  Agent::setProperty("Test.Throw.verb", nullptr);
  // The next request runs as usual: nothing of the fault stays on the thread.
  agent.clearRecords();
  vytest::VerbResult ok = agent.doVerbFor(req);
  EXPECT_EQ(1, ok.status);
  EXPECT_FALSE(ok.hasError) << ok.error;
}

TEST_F(ConnectorFaultTest, ThrowingLifecycleSlotsAreLoggedWithWhatWasThrown) {
  for (const char* kind : {"runtime", "derived", "stdstring", "int", "string", "object"}) {
    SCOPED_TRACE(kind);
    const std::string thrown = thrownText(kind);
    {
      Agent agent;
      Agent::setProperty("Test.Throw.init", kind);
      EXPECT_EQ(-1, agent.init());
      std::vector<vytest::MsgRequest> msgs = agent.messagesNumbered(80401);
      ASSERT_EQ(1u, msgs.size());
      EXPECT_EQ("init", msgs[0].args);
      EXPECT_EQ(1u, errorLogs(agent, "80401: init (init: the connector threw " + thrown).size());
      // A fault in init is the thread's first fatal message, as every error message is.
      ASSERT_NE(nullptr, JToCPPVeneer::getfatalErrorFirstMessage());
      EXPECT_TRUE(contains(JToCPPVeneer::getfatalErrorFirstMessage(), thrown));
      JToCPPVeneer::deletefatalErrorFirstMessage();
    }
    Agent agent;
    ASSERT_EQ(0, agent.init());
    Agent::setProperty("Test.Throw.poll", kind);
    Agent::setProperty("Test.Throw.getVersion", kind);
    Agent::setProperty("Test.Throw.terminate", kind);
    EXPECT_EQ(-1, agent.poll());
    EXPECT_EQ("", agent.getVersion());
    EXPECT_EQ(-1, agent.terminate());
    for (const char* op : {"poll", "getVersion", "terminate"}) {
      EXPECT_EQ(1u, errorLogs(agent, std::string("80401: ") + op + " (" + op +
                                         ": the connector threw " + thrown)
                        .size())
          << op;
    }
    EXPECT_EQ(3u, agent.messagesNumbered(80401).size());
    JToCPPVeneer::deletefatalErrorFirstMessage();
  }
}

TEST_F(ConnectorFaultTest, SuspendAndResumeKeepTheirPrintedLineAndLogWhatWasThrown) {
  const struct {
    const char* suspendKind;
    const char* resumeKind;
  } kPairs[] = {{"runtime", "stdstring"}, {"string", "int"}};
  for (const auto& p : kPairs) {
    SCOPED_TRACE(std::string(p.suspendKind) + "/" + p.resumeKind);
    Agent agent;
    agent.init();
    agent.clearRecords();
    Agent::setProperty("Test.Throw.suspend", p.suspendKind);
    Agent::setProperty("Test.Throw.resume", p.resumeKind);
    ::testing::internal::CaptureStdout();
    agent.suspend();
    agent.resume();
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(
        "User code exception encountered in method suspend\n"
        "User code exception encountered in method resume\n",
        out);
    EXPECT_TRUE(agent.messages().empty());
    EXPECT_EQ(1u, errorLogs(agent, std::string("User code exception encountered in method suspend "
                                               "(suspend: the connector threw ") +
                                       thrownText(p.suspendKind) + ")")
                      .size());
    EXPECT_EQ(
        1u, errorLogs(agent, std::string("resume: the connector threw ") + thrownText(p.resumeKind))
                .size());
    JToCPPVeneer::deletefatalErrorFirstMessage();
  }
}

TEST_F(ConnectorFaultTest, AThrowingGetBOHandlerforBOIsLoggedAndTheSpecIsNotFiled) {
  Agent agent;
  ASSERT_EQ(0, agent.init());
  Agent::setProperty("Test.Throw.handler", "derived");
  agent.gotBusObjSpec(specText());
  std::vector<vytest::MsgRequest> msgs = agent.messagesNumbered(80401);
  ASSERT_EQ(1u, msgs.size());
  EXPECT_EQ("gotBusObjSpec", msgs[0].args);
  EXPECT_EQ(1u, errorLogs(agent,
                          "gotBusObjSpec: the connector threw inventory::StockError: no "
                          "stock for item 12")
                    .size());
  Agent::setProperty("Test.Throw.handler", nullptr);
  // Announced again with a handler that answers, the type serves requests.
  agent.gotBusObjSpec(specText());
  EXPECT_EQ(1, agent.doVerbFor(request()).status);
  JToCPPVeneer::deletefatalErrorFirstMessage();
}

TEST_F(ConnectorFaultTest, InitWithoutGlobalsSaysWhatIsMissingAndHowToRegister) {
  JToCPPVeneer::setTheAppGlob(nullptr);
  Agent agent;
  EXPECT_EQ(-1, agent.init());
  std::vector<vytest::LogLine> fatal;
  for (const vytest::LogLine& l : agent.logs())
    if (l.severity == KyMsgFormat::MLV_FATAL) fatal.push_back(l);
  ASSERT_EQ(1u, fatal.size());
  EXPECT_TRUE(contains(fatal[0].text, "registered no connector globals object")) << fatal[0].text;
  EXPECT_TRUE(contains(fatal[0].text, "one static object of a GenGlobals subclass"));
  ASSERT_NE(nullptr, JToCPPVeneer::getfatalErrorFirstMessage());
  EXPECT_TRUE(contains(JToCPPVeneer::getfatalErrorFirstMessage(), "GenGlobals subclass"));
  JToCPPVeneer::deletefatalErrorFirstMessage();
  EXPECT_EQ(0, vyTestConnectorCalls(vytest::kInit));
  // With the globals registered again, nothing of the kind is said.
  vyTestConnectorRegister();
  Agent again;
  EXPECT_EQ(0, again.init());
  for (const vytest::LogLine& l : again.logs()) EXPECT_FALSE(contains(l.text, "GenGlobals"));
}

// A connector's own subscription handler that throws: the subscription entry points answer as
// for a refused request and log what was thrown.
TEST_F(ConnectorFaultTest, AThrowingSubscriptionHandlerIsReportedNotPassedToTheAgent) {
  Agent agent;
  Agent::setProperty("Test.Subs.Throwing", "true");
  ASSERT_EQ(0, agent.init());
  agent.clearRecords();
  EXPECT_EQ(-1, agent.subscribeTo(kType, "Create", 0));
  EXPECT_FALSE(agent.isSubscribed(kType, "Create"));
  EXPECT_EQ(-1, agent.cancelSub(kType, "1.0.0", "Create"));
  EXPECT_EQ(-1, agent.updateSubscription(kType, "Create", 0, 1));
  std::vector<std::string> ops;
  for (const vytest::MsgRequest& m : agent.messagesNumbered(80401)) ops.push_back(m.args);
  EXPECT_EQ((std::vector<std::string>{"subscribeTo", "isSubscribed", "cancelSub", "subscribeTo"}),
            ops);
  EXPECT_EQ(1u, errorLogs(agent,
                          "isSubscribed: the connector threw std::runtime_error: no "
                          "lookups today")
                    .size());
  Agent::setProperty("Test.Subs.Throwing", nullptr);
  JToCPPVeneer::deletefatalErrorFirstMessage();
}

// Null answers and objects of unknown types: a clear text, never a crash.
TEST_F(ConnectorFaultTest, NullAnswersAndUnknownTypesAreSafe) {
  Agent agent;
  ASSERT_EQ(0, agent.init());
  agent.gotBusObjSpec(specText());
  const std::string req = request();
  // getVersion answering null: an empty version.
  Agent::setProperty("Test.Version", "<null>");
  EXPECT_EQ("", agent.getVersion());
  Agent::setProperty("Test.Version", nullptr);

  // getBOHandlerforBO answering null: the spec is filed, a request says there is no handler.
  Agent::setProperty("Test.NoHandler", "true");
  agent.gotBusObjSpec(specText());
  Agent::setProperty("Test.NoHandler", nullptr);
  vytest::VerbResult r = agent.doVerbFor(req);
  EXPECT_EQ(-1, r.status);
  EXPECT_TRUE(contains(r.error, "no business object handler is registered for the type FaultOrder"))
      << r.error;

  // An event object of a type the agent never announced: not delivered, and said so.
  agent.gotBusObjSpec(specText());
  Agent::setProperty("Test.Events.Type", "NeverAnnounced");
  Agent::setProperty("Test.Events.Count", "1");
  agent.subscribeTo("NeverAnnounced", nullptr, 0);
  agent.clearRecords();
  EXPECT_EQ(0, agent.poll());
  EXPECT_TRUE(agent.events().empty());
  EXPECT_FALSE(agent.messagesNumbered(64).empty());  // no spec of that name
  Agent::setProperty("Test.Events.Count", nullptr);
  Agent::setProperty("Test.Events.Type", nullptr);
  JToCPPVeneer::deletefatalErrorFirstMessage();
}

// The named results mean what the bridge does with them: the object goes back exactly for the
// results verbReturnsObject names, and every result reaches the agent unchanged; a positive
// result other than 1, which means nothing to the kit, is also logged as a warning.
TEST_F(ConnectorFaultTest, NamedVerbResultsMatchWhatTheBridgeDoes) {
  static_assert(VyResults::VERB_SUCCESS == 1 && VyResults::VERB_VALUE_CHANGED == -5 &&
                    VyResults::VERB_DONE == 0 && VyResults::VERB_FAILURE == -1,
                "verb results keep their numbers");
  static_assert(VyResults::EVENT_NOT_SUBSCRIBED == -10 && VyResults::ATTR_REFUSED == 0,
                "other results keep their numbers");
  Agent agent;
  ASSERT_EQ(VyResults::INIT_SUCCESS, agent.init());
  agent.gotBusObjSpec(specText());
  const std::string req = request();
  Agent::setProperty("Test.Verb.SetAttr", "1=changed");
  for (int result : {VyResults::VERB_SUCCESS, VyResults::VERB_VALUE_CHANGED, VyResults::VERB_DONE,
                     VyResults::VERB_FAILURE, -2, -10, 2, 42, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(result);
    Agent::setProperty("Test.Verb.Result", std::to_string(result).c_str());
    vytest::VerbResult r = agent.doVerbFor(req);
    EXPECT_EQ(result, r.status);
    bool written = std::string(r.content.begin(), r.content.end()) != req;
    EXPECT_EQ(VyResults::verbReturnsObject(result), written);
    EXPECT_EQ(result < 0 && result != -5, VyResults::verbFailed(result));
    bool warned = false;
    for (const vytest::LogLine& l : agent.logs()) {
      warned |= l.severity == KyMsgFormat::MLV_WARNING &&
                contains(l.text, "the handler for FaultOrder answered " + std::to_string(result));
    }
    EXPECT_EQ(result > 1, warned);
    agent.clearRecords();
  }
  Agent::setProperty("Test.Verb.SetAttr", nullptr);
  Agent::setProperty("Test.Verb.Result", nullptr);
}

}  // namespace
