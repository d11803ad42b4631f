// Events and synchronous requests raised by the test connector from pollForEvents, on the
// polling thread and on a thread of its own, as the agent receives them.
#include <gtest/gtest.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestConnectorControl.hpp"
#include "TestTypeTexts.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

extern "C" {
void vyTestEventsReset();
int vyTestEventsRaised();
long vyTestEventsAnswerSum();
int vyTestEventsLastAnswer();
const char16_t* vyTestEventsLastWire(int* length);
int vyTestSyncResult();
int vyTestSyncStatus();
const char* vyTestSyncError();
const char16_t* vyTestSyncObject(int* length);
const char* vyTestSyncVerb();
}

namespace {

using vytest::Agent;

const char kType[] = "EvCustomer";

// A spec with three string attributes, the last the event id, and the verbs Create and Update.
std::string specText() {
  return vytest::stringSpecText(kType, {"Id", "Name", "ObjectEventId"}, {"Create", "Update"});
}

std::string ascii(const std::u16string& units) { return std::string(units.begin(), units.end()); }

std::string lastEventWire() {
  int n = 0;
  const char16_t* p = vyTestEventsLastWire(&n);
  return ascii(std::u16string(p, n));
}

std::string syncObjectWire() {
  int n = 0;
  const char16_t* p = vyTestSyncObject(&n);
  return ascii(std::u16string(p, n));
}

// The wire text of an object of the test type built here.
std::string objectWire(const char* verb, const char* id, const char* name) {
  BusinessObject bo(kType);
  bo.setVerb(verb);
  bo.setAttrValue(0, id, 5);
  bo.setAttrValue(1, name, 5);
  std::unique_ptr<StringMessage> msg(bo.toStringMessage());
  return msg->toString();
}

// A status in the form the agent returns it: fields delimited by U+0004.
std::string statusAnswer(const std::string& status, const std::string& text) {
  std::string out;
  for (const std::string& f : {std::string("ReturnStatusDescriptor"), status, text}) {
    out += std::to_string(f.size()) + "\x04" + f;
  }
  return out;
}

class EventCallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vyTestConnectorReset();
    vyTestEventsReset();
    Agent::setProperty("ConnectorName", "EvConn");
    Agent::setProperty("Test.Events.Type", kType);
    Agent::setProperty("Test.Events.Values", "K1,Ann");
    agent_.init();
    agent_.gotBusObjSpec(specText());
  }
  void TearDown() override { vyTestConnectorRegister(); }
  Agent agent_;
};

TEST_F(EventCallbacksTest, AnUnsubscribedEventIsAnsweredMinusTenAndOnlyLogged) {
  agent_.subscribeTo(kType, "Update", 0);  // another verb does not count
  agent_.subscribeTo("Other", nullptr, 0);
  Agent::setProperty("Test.Events.Count", "1");
  agent_.clearRecords();
  agent_.poll();
  EXPECT_EQ(1, vyTestEventsRaised());
  EXPECT_EQ(-10, vyTestEventsLastAnswer());
  EXPECT_TRUE(agent_.events().empty());
  auto msgs = agent_.messagesNumbered(80008);
  ASSERT_EQ(1u, msgs.size());
  EXPECT_EQ(KyMsgFormat::MLV_INFO, msgs[0].type);
  EXPECT_EQ(1, msgs[0].set);
  EXPECT_EQ(2, msgs[0].argCount);
  EXPECT_EQ(std::string(kType) + ",Create", msgs[0].args);
  EXPECT_TRUE(agent_.logged("80008"));
}

TEST_F(EventCallbacksTest, ASubscribedEventArrivesAsItsWireTextWithEventIds) {
  agent_.subscribeTo(kType, "Create", 0);
  agent_.setEventAnswer(42);
  Agent::setProperty("Test.Events.Count", "1");
  agent_.clearRecords();
  agent_.poll();
  EXPECT_EQ(42, vyTestEventsLastAnswer());
  std::vector<std::string> events = agent_.events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(lastEventWire(), events[0]);
  EXPECT_NE(std::string::npos, events[0].find("EvConn_")) << events[0];
  EXPECT_NE(std::string::npos, events[0].find("Ann"));
  EXPECT_TRUE(agent_.messagesNumbered(80008).empty());

  // After cancelling, the same event no longer reaches the agent.
  agent_.cancelSub(kType, "1.0.0", nullptr);
  agent_.poll();
  EXPECT_EQ(-10, vyTestEventsLastAnswer());
  EXPECT_EQ(1u, agent_.events().size());
}

TEST_F(EventCallbacksTest, ManyEventsFromTheAgentThreadAndFromANativeThread) {
  agent_.subscribeTo(kType, nullptr, 0);
  agent_.setEventAnswer(1);
  agent_.setRecording(false);
  // Any local reference kept per event would make -Xcheck:jni complain (and fail the run).
  Agent::setProperty("Test.Events.Count", "5000");
  agent_.poll();
  EXPECT_EQ(5000, vyTestEventsRaised());
  EXPECT_EQ(5000, vyTestEventsAnswerSum());

  vyTestEventsReset();
  Agent::setProperty("Test.Events.Count", "50000");
  Agent::setProperty("Test.Events.Thread", "native");
  agent_.poll();
  EXPECT_EQ(50000, vyTestEventsRaised());
  EXPECT_EQ(50000, vyTestEventsAnswerSum());
  agent_.setRecording(true);
}

TEST_F(EventCallbacksTest, ConsumeSyncLeavesWhatTheAgentPutInTheBuckets) {
  std::string answer = objectWire("Update", "K9", "Bob");
  agent_.setSyncAnswer(answer.c_str(), statusAnswer("1", "done").c_str());
  Agent::setProperty("Test.Sync.Collab", "Collab1");
  Agent::setProperty("Test.Sync.Status", "3,sent text");
  agent_.clearRecords();
  agent_.poll();

  auto syncs = agent_.syncs();
  ASSERT_EQ(1u, syncs.size());
  EXPECT_EQ("Collab1", syncs[0].collab);
  EXPECT_EQ(objectWire("Create", "K1", "Ann"), syncs[0].object);
  EXPECT_EQ(
      "22\x03ReturnStatusDescriptor1\x03"
      "39\x03sent text",
      syncs[0].status);

  EXPECT_EQ(1, vyTestSyncResult());
  EXPECT_EQ(1, vyTestSyncStatus());
  ASSERT_NE(nullptr, vyTestSyncError());
  EXPECT_STREQ("done", vyTestSyncError());
  EXPECT_EQ(answer, syncObjectWire());
  EXPECT_STREQ("Update", vyTestSyncVerb());

  // "null" as the status text means no text.
  agent_.setSyncAnswer(answer.c_str(), statusAnswer("-5", "null").c_str());
  agent_.poll();
  EXPECT_EQ(-5, vyTestSyncStatus());
  EXPECT_EQ(nullptr, vyTestSyncError());
}

TEST_F(EventCallbacksTest, ConsumeSyncWithoutACollaborationCallsNothing) {
  Agent::setProperty("Test.Sync.Collab", "null");
  Agent::setProperty("Test.Sync.Status", "3,kept");
  agent_.clearRecords();
  agent_.poll();
  EXPECT_TRUE(agent_.syncs().empty());
  EXPECT_EQ(-1, vyTestSyncResult());
  EXPECT_EQ(3, vyTestSyncStatus());
  EXPECT_STREQ("kept", vyTestSyncError());
}

TEST_F(EventCallbacksTest, ExecuteCollaborationIsAConsumeSync) {
  std::string answer = objectWire("Update", "K7", "Eve");
  agent_.setSyncAnswer(answer.c_str(), statusAnswer("1", "run").c_str());
  GenGlobals* globals = JToCPPVeneer::getTheAppGlob();
  ASSERT_NE(nullptr, globals);
  BusinessObject bo(kType);
  bo.setVerb("Create");
  bo.setAttrValue(0, "K2", 5);
  ReturnStatusDescriptor status(4, "asked");
  std::string sent = std::unique_ptr<StringMessage>(bo.toStringMessage())->toString();
  agent_.clearRecords();
  EXPECT_EQ(1, globals->executeCollaboration(const_cast<char*>("CollabX"), bo, status));
  auto syncs = agent_.syncs();
  ASSERT_EQ(1u, syncs.size());
  EXPECT_EQ("CollabX", syncs[0].collab);
  EXPECT_EQ(sent, syncs[0].object);
  EXPECT_EQ(1, status.getStatus());
  ASSERT_NE(nullptr, status.getErrorMsg());
  EXPECT_STREQ("run", status.getErrorMsg());
  std::unique_ptr<StringMessage> back(bo.toStringMessage());
  EXPECT_EQ(answer, back->toString()) << "the caller's object is what the agent returned";

  // Without a collaboration nothing is sent and the object and status stay as they were.
  ReturnStatusDescriptor kept(3, "kept");
  agent_.clearRecords();
  EXPECT_EQ(-1, globals->executeCollaboration(nullptr, bo, kept));
  EXPECT_TRUE(agent_.syncs().empty());
  EXPECT_EQ(3, kept.getStatus());
  EXPECT_STREQ("kept", kept.getErrorMsg());
}

// The names as a message of fields, read whole from the agent's text.
std::vector<std::string> collabNames(GenGlobals* globals) {
  std::unique_ptr<StringMessage> names(globals->getCollabNames());
  std::vector<std::string> out;
  if (names == nullptr) {
    out.push_back("<null>");
    return out;
  }
  names->initTokenizer();
  while (const char* t = names->nextToken()) out.emplace_back(t);
  return out;
}

TEST_F(EventCallbacksTest, CollaborationNamesOnEveryPath) {
  GenGlobals* globals = JToCPPVeneer::getTheAppGlob();
  ASSERT_NE(nullptr, globals);
  agent_.setCollabNames(
      "7\x03Orders1"
      "12\x03Z\u00fcrich Sales");
  EXPECT_EQ((std::vector<std::string>{"Orders1", "Z\u00fcrich Sales"}), collabNames(globals));
  // Through the veneer the same.
  std::unique_ptr<StringMessage> direct(JToCPPVeneer::getTheHandlerStuff()->getCollabNames());
  ASSERT_NE(nullptr, direct);
  EXPECT_EQ(std::string("7\x03Orders1"
                        "12\x03Z\u00fcrich Sales"),
            direct->toString());

  // The agent knows none: an empty text or none at all is an empty message, not a failure.
  agent_.setCollabNames("");
  EXPECT_EQ(std::vector<std::string>{}, collabNames(globals));
  agent_.setCollabNames(nullptr);
  EXPECT_EQ(std::vector<std::string>{}, collabNames(globals));

  // Many names from a thread of the connector's own.
  std::string many;
  std::vector<std::string> expected;
  for (int i = 0; i < 500; ++i) {
    std::string name = "Collab" + std::to_string(i);
    many += std::to_string(name.size()) + "\x03" + name;
    expected.push_back(name);
  }
  agent_.setCollabNames(many.c_str());
  std::vector<std::string> fromThread;
  std::thread([&] { fromThread = collabNames(globals); }).join();
  EXPECT_EQ(expected, fromThread);

  // After terminate there is no veneer to ask.
  agent_.terminate();
  EXPECT_EQ(std::vector<std::string>{"<null>"}, collabNames(globals));
}

TEST_F(EventCallbacksTest, AnUnreadableReturnedObjectFailsTheRequestAndKeepsTheObject) {
  agent_.setSyncAnswer(
      "7\x03"
      "Garbage",
      statusAnswer("1", "fine").c_str());
  Agent::setProperty("Test.Sync.Collab", "Collab1");
  agent_.poll();
  EXPECT_EQ(-1, vyTestSyncResult());
  EXPECT_EQ(-1, vyTestSyncStatus());
  ASSERT_NE(nullptr, vyTestSyncError());
  EXPECT_NE(std::string::npos, std::string(vyTestSyncError()).find("cannot be read"));
  EXPECT_EQ(objectWire("Create", "K1", "Ann"), syncObjectWire());
}

TEST_F(EventCallbacksTest, ManyRequestsFromANativeThread) {
  std::string answer = objectWire("Update", "K2", "Cy");
  agent_.setSyncAnswer(answer.c_str(), statusAnswer("1", "null").c_str());
  agent_.setRecording(false);
  Agent::setProperty("Test.Sync.Collab", "Collab1");
  Agent::setProperty("Test.Sync.Count", "5000");
  Agent::setProperty("Test.Events.Thread", "native");
  agent_.poll();
  EXPECT_EQ(1, vyTestSyncResult());
  EXPECT_EQ(answer, syncObjectWire());
  agent_.setRecording(true);
}

}  // namespace

namespace {

// Native memory in use (the C heap of the whole process, the JVM's own included); the Java heap
// lives outside it, so the garbage a million event strings make does not count.
long nativeHeapKb() {
  struct mallinfo2 info = mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

// A million events from one pollForEvents call on the connector's own thread: no JNI warning
// (the run fails on any) and the process's native memory does not grow past a few MB once warmed
// up, so nothing is kept per event.
TEST_F(EventCallbacksTest, AMillionEventsFromOnePollKeepTheProcessSize) {
  agent_.subscribeTo(kType, nullptr, 0);
  agent_.setEventAnswer(1);
  agent_.setRecording(false);
  Agent::setProperty("Test.Events.Thread", "native");
  Agent::setProperty("Test.Events.Count", "20000");
  agent_.poll();  // warm-up: the JVM's and the allocator's steady state
  long before = nativeHeapKb();
  vyTestEventsReset();
  Agent::setProperty("Test.Events.Count", "1000000");
  agent_.poll();
  long after = nativeHeapKb();
  EXPECT_EQ(1000000, vyTestEventsRaised());
  EXPECT_EQ(1000000, vyTestEventsAnswerSum());
  EXPECT_LT(after - before, 8 * 1024)
      << "native memory grew from " << before << " kB to " << after << " kB";
  agent_.setRecording(true);
}

}  // namespace
