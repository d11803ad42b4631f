// Faults injected on purpose into the agent: every callback throwing (alone, then at random under
// an eight-thread load), the JVM out of heap inside callbacks, and a connector thread raising
// events while the agent terminates the connector and starts it again.
//
// What must hold throughout: no crash, no JNI warning (the listener in VyTestAgent fails the
// test), and every request answers either with success (the right object back) or with a
// failure and a text. The long forms run under `make soak` (VY_SOAK set): 100,000 requests with
// the resident size watched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ResidentSize.hpp"
#include "TestTypeTexts.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

extern "C" {
int vyTestSyncStatus();
const char* vyTestSyncError();
int vyTestSyncOutcome(int* hasText);
void vyTestEventsReset();
void vyTestStreamStart(const char* type);
long vyTestStreamNext();
long vyTestStreamCompleted();
int vyTestStreamAnswer(long n);
long vyTestStreamStop();
}

namespace {

using vytest::Agent;

const char kType[] = "FaultItem";
const char* const kCallbacks[] = {"getConfigProp",          "getDeltaSupport", "logMsg",
                                  "logMsgSeverity",         "TraceWrite",      "generateMsg",
                                  "getCollabNames",         "GotEventFromApp", "consumeSync",
                                  "isAgentCapableOfPolling"};

bool soak() { return std::getenv("VY_SOAK") != nullptr; }

std::u16string specText() {
  return vytest::wire(
      vytest::stringSpecFields(kType, {"Id", "Name", "ObjectEventId"}, {"Create", "Update"}));
}

std::u16string request(const std::string& id) {
  return vytest::wire({"BusinessObject", "4.2.0.0", kType, "1.0.0", "false", "Create", "en_US", "3",
                       id, "name " + id, "KyIgnore"});
}

// A status as the agent returns it: fields delimited by U+0004.
std::string statusAnswer(const std::string& status, const std::string& text) {
  std::string out;
  for (const std::string& f : {std::string("ReturnStatusDescriptor"), status, text})
    out += std::to_string(f.size()) + "\x04" + f;
  return out;
}

// Counts of a run, and the first few requests whose answer broke the rule.
struct Tally {
  std::mutex lock;
  long requests = 0, succeeded = 0, failedWithText = 0;
  std::vector<std::string> wrong;
  void answer(bool ok, bool failedWithAText, const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    ++requests;
    if (ok)
      ++succeeded;
    else if (failedWithAText)
      ++failedWithText;
    else if (wrong.size() < 20)
      wrong.push_back(what);
    else
      wrong.back() = "... and more";
  }
};

// One round of everything that reaches the agent: requests through the test connector (which
// reads properties, logs, traces, fails and throws), a poll raising an event and a synchronous
// request, and the services a connector calls directly.
void round(Agent& agent, Tally& tally, const std::string& id, int step) {
  switch (step % 6) {
    case 0:
    case 1: {  // a good request: back as it went, or a failure with a text
      std::u16string text = request(id);
      vytest::VerbResult r = agent.doVerbFor(text, false);
      tally.answer(r.status == 1 && r.content == text, r.status != 1 && !r.error.empty(),
                   "verb " + id + " answered " + std::to_string(r.status));
      break;
    }
    case 2: {  // malformed: always a failure with a text, the bucket kept
      std::u16string text = request(id);
      text.resize(text.size() - 4);
      vytest::VerbResult r = agent.doVerbFor(text, false);
      tally.answer(false, r.status == -1 && !r.error.empty() && r.content == text,
                   "malformed " + id + " answered " + std::to_string(r.status));
      break;
    }
    case 3: {  // the services: each answers something usable
      JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
      v->logMsg(("log " + id).c_str(), KyMsgFormat::MLV_ERROR);
      v->getDeltaSupport(kType);
      std::unique_ptr<StringMessage> names(v->getCollabNames());
      v->isAgentCapableOfPolling();
      char* msg = CallJavaForMsgFormat(80008, KyMsgFormat::MLV_INFO, nullptr, 1, 2, "a,b");
      tally.answer(msg != nullptr && names != nullptr, false, "services " + id);
      std::free(msg);
      break;
    }
    case 4: {  // a poll: events and a synchronous request from the polling thread
      agent.poll();
      int hasText = 0;
      int status = vyTestSyncOutcome(&hasText);
      // 0: no request was made (the poll's property read failed).
      tally.answer(status == 1 || status == 0, status == -1 && hasText == 1,
                   "sync " + id + " answered " + std::to_string(status));
      break;
    }
    case 5: {  // the connector throws: a failure whose text is the framework message
      std::u16string text = request(id);
      agent.setTraceLevel(5);
      vytest::VerbResult r = agent.doVerbFor(text + u"", false);
      tally.answer(r.status == 1 && r.content == text, r.status != 1 && !r.error.empty(),
                   "verb " + id + " answered " + std::to_string(r.status));
      break;
    }
  }
}

class AgentFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent_.reset(new Agent);
    agent_->setRecording(false);
    agent_->setEventAnswer(1);
    agent_->setCollabNames("Collab");
    agent_->setSyncAnswer(nullptr, statusAnswer("1", "").c_str());
    Agent::setProperty("Test.Verb.Record", "true");
    Agent::setProperty("Test.Verb.HandlerLog", "yes");
    Agent::setProperty("Test.Events.Count", "2");
    Agent::setProperty("Test.Events.Type", kType);
    Agent::setProperty("Test.Sync.Collab", "Collab");
    Agent::setProperty("TraceLevel", "5");
    vyTestEventsReset();
    ASSERT_EQ(0, agent_->init());
    agent_->gotBusObjSpec16(specText());
    ASSERT_EQ(0, agent_->subscribeTo(kType, "Create", 0));
  }
  void TearDown() override {
    Agent::clearFaults();
    agent_.reset();
  }
  std::unique_ptr<Agent> agent_;
};

TEST_F(AgentFaultTest, EachCallbackThrowingAloneLeavesEveryRequestAnswered) {
  for (const char* callback : kCallbacks) {
    for (const char* kind : {"runtime", "oom"}) {
      Agent::clearFaults();
      Agent::setFault(callback, kind, 1.0, 7);
      Tally tally;
      for (int step = 0; step < 12; ++step) {
        if (step == 5) Agent::setProperty("Test.Throw.verb", "int");
        if (step == 11) Agent::setProperty("Test.Throw.verb", nullptr);
        round(*agent_, tally, std::string(callback) + "-" + std::to_string(step), step);
      }
      Agent::setProperty("Test.Throw.verb", nullptr);
      EXPECT_GT(Agent::faultsInjected(callback), 0) << callback << " was never called";
      EXPECT_TRUE(tally.wrong.empty()) << callback << "/" << kind << ": " << tally.wrong[0];
    }
  }
  // With the faults gone, everything succeeds again.
  Agent::clearFaults();
  std::u16string text = request("after");
  vytest::VerbResult r = agent_->doVerbFor(text, false);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(text, r.content);
}

TEST_F(AgentFaultTest, RandomFaultsUnderEightThreadsLeaveEveryRequestAnswered) {
  const int threads = 8;
  const long total = soak() ? 100000 : 800;
  const long warmUp = soak() ? 20000 : 0;
  Tally tally;
  auto run = [&](long count, long base) {
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        for (long i = t; i < count; i += threads)
          round(*agent_, tally, std::to_string(base + i), static_cast<int>(i / threads));
        JavaVM* vm = nullptr;
        vytest::env()->GetJavaVM(&vm);
        vm->DetachCurrentThread();
      });
    }
    for (std::thread& w : workers) w.join();
  };
  Agent::setFault("*", "mixed", 0.05, 20240518);
  if (warmUp > 0) run(warmUp, 0);
  long before = vytest::residentKb();
  {
    std::lock_guard<std::mutex> guard(tally.lock);
    tally.requests = tally.succeeded = tally.failedWithText = 0;
  }
  long faultsBefore = Agent::faultsInjected("*");
  run(total, warmUp);
  long growth = vytest::residentKb() - before;
  long faults = Agent::faultsInjected("*") - faultsBefore;
  std::printf(
      "random faults, %d threads: %ld requests, %ld faults injected, %ld succeeded, %ld failed "
      "with a text, resident size %+ld kB\n",
      threads, tally.requests, faults, tally.succeeded, tally.failedWithText, growth);
  // Which callbacks a random run hits depends on the threads' order; each callback fails on its
  // own in the test above.
  EXPECT_GT(faults, 0);
  EXPECT_EQ(total, tally.requests);
  EXPECT_TRUE(tally.wrong.empty()) << tally.wrong[0];
  if (soak()) {
    EXPECT_LT(growth, 10 * 1024) << "resident size grew under faults";
  }
}

// ---- the JVM out of heap ----
//
// Deterministic by size rather than by timing: the small-heap run (ctest `jvm_small_heap`,
// JAVA_TOOL_OPTIONS=-Xmx32m) makes texts larger than the whole heap, so the JVM refuses exactly
// those allocations (NewString of a request, an event or a log line) while everything else goes
// on; a "heap" fault makes the JVM itself throw OutOfMemoryError inside the callback the same way.
long maxHeapBytes() {
  JNIEnv* e = vytest::env();
  jclass rt = e->FindClass("java/lang/Runtime");
  jmethodID getRuntime = e->GetStaticMethodID(rt, "getRuntime", "()Ljava/lang/Runtime;");
  jmethodID maxMemory = e->GetMethodID(rt, "maxMemory", "()J");
  jobject runtime = e->CallStaticObjectMethod(rt, getRuntime);
  vytest::checkNoException("Runtime.getRuntime");
  long max = static_cast<long>(e->CallLongMethod(runtime, maxMemory));
  vytest::checkNoException("Runtime.maxMemory");
  e->DeleteLocalRef(runtime);
  e->DeleteLocalRef(rt);
  return max;
}

class SmallHeapFaultTest : public AgentFaultTest {
 protected:
  void SetUp() override {
    if (maxHeapBytes() > 128L << 20) GTEST_SKIP() << "runs with a small fixed heap (-Xmx32m)";
    AgentFaultTest::SetUp();
    // Characters beyond the heap: even one byte each (the JVM keeps Latin-1 text compact), their
    // text alone is larger than it.
    beyond_ = std::to_string(maxHeapBytes() + (1 << 20));
  }
  std::string beyond_;
};

TEST_F(SmallHeapFaultTest, TextsLargerThanTheHeapFailWithATextAndServingGoesOn) {
  Tally tally;
  // A processed object too large to go back: a failure with a text, the bucket kept.
  Agent::setProperty("Test.Verb.Grow", beyond_.c_str());
  std::u16string text = request("grown");
  vytest::VerbResult r = agent_->doVerbFor(text, false);
  EXPECT_EQ(-1, r.status);
  EXPECT_NE(std::string::npos, r.error.find("out of memory")) << r.error;
  EXPECT_EQ(text, r.content);
  Agent::setProperty("Test.Verb.Grow", nullptr);

  // Events and a synchronous request too large for the JVM: not delivered (-1), and a failed
  // request with a text.
  vyTestEventsReset();
  Agent::setProperty("Test.Events.Grow", beyond_.c_str());
  agent_->poll();
  EXPECT_EQ(-1, vyTestSyncStatus());
  ASSERT_NE(nullptr, vyTestSyncError());
  EXPECT_NE(std::string::npos, std::string(vyTestSyncError()).find("out of memory"));
  Agent::setProperty("Test.Events.Grow", nullptr);

  // Log lines, trace lines and message texts too large: skipped, the message answered by the
  // fallback text.
  std::string huge(std::strtoul(beyond_.c_str(), nullptr, 10), 'h');
  CallJavaForlogMsg(huge.c_str());
  CallJavaForlogMsgSeverity(huge.c_str(), KyMsgFormat::MLV_ERROR);
  JToCPPVeneer::traceWrite(Tracing::LEVEL1, huge.c_str(), "second");
  char* msg = CallJavaForMsgFormat(80008, KyMsgFormat::MLV_INFO, huge.c_str(), 1, 1, "arg");
  ASSERT_NE(nullptr, msg);
  EXPECT_EQ(std::string("80008: arg"), msg);
  std::free(msg);
  huge.clear();
  huge.shrink_to_fit();

  // The JVM's own OutOfMemoryError inside property reads, event upcalls and every other
  // callback, one at a time.
  for (const char* callback : kCallbacks) {
    Agent::setFault(callback, "heap", 1.0, 3);
    for (int step = 0; step < 6; ++step) round(*agent_, tally, callback, step);
    EXPECT_GT(Agent::faultsInjected(callback), 0) << callback;
  }
  Agent::clearFaults();
  EXPECT_TRUE(tally.wrong.empty()) << tally.wrong[0];

  // Serving goes on.
  r = agent_->doVerbFor(text, false);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(text, r.content);
}

TEST_F(SmallHeapFaultTest, RandomOutOfMemoryUnderEightThreads) {
  Tally tally;
  const long total = soak() ? 100000 : 800;
  Agent::setFault("*", "heap", 0.05, 99);
  long before = vytest::residentKb();
  std::vector<std::thread> workers;
  for (int t = 0; t < 8; ++t) {
    workers.emplace_back([&, t] {
      for (long i = t; i < total; i += 8)
        round(*agent_, tally, std::to_string(i), static_cast<int>(i / 8));
      JavaVM* vm = nullptr;
      vytest::env()->GetJavaVM(&vm);
      vm->DetachCurrentThread();
    });
  }
  for (std::thread& w : workers) w.join();
  long growth = vytest::residentKb() - before;
  std::printf(
      "out of heap at random, 8 threads: %ld requests, %ld OutOfMemoryErrors, %ld succeeded, "
      "%ld failed with a text, resident size %+ld kB\n",
      tally.requests, Agent::faultsInjected("*"), tally.succeeded, tally.failedWithText, growth);
  EXPECT_EQ(total, tally.requests);
  EXPECT_TRUE(tally.wrong.empty()) << tally.wrong[0];
  if (soak()) {
    EXPECT_LT(growth, 10 * 1024) << "resident size grew under faults";
  }
}

// ---- terminate and init again while a connector thread raises events ----
//
// Each event carries its number. For every agent object in turn, S is the stream's next number
// once its subscription is in place and E the count of events answered before it is
// terminated: every event numbered in [S, E) was raised entirely while it was subscribed and
// must reach it exactly once. No event may reach any agent twice, and every event the connector
// saw answered 1 must have reached exactly one agent.
TEST(AgentRestartTest, EventsRaisedDuringTerminateAndInitReachTheNewAgentExactlyOnce) {
  const int cycles = soak() ? 200 : 12;
  Agent::clearFaults();
  std::vector<std::unique_ptr<Agent>> agents;
  std::vector<std::pair<long, long>> windows;
  auto start = [&] {
    agents.emplace_back(new Agent);
    Agent& a = *agents.back();
    a.setEventAnswer(1);
    Agent::setProperty("TraceLevel", "5");
    EXPECT_EQ(0, a.init());
    a.gotBusObjSpec16(specText());
    EXPECT_EQ(0, a.subscribeTo(kType, "Create", 0));
    windows.emplace_back(vyTestStreamNext(), -1);
  };
  auto waitFor = [](long count) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (vyTestStreamCompleted() < count && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  };
  start();
  vyTestStreamStart(kType);
  for (int c = 0; c < cycles; ++c) {
    waitFor(windows.back().first + 40);
    windows.back().second = vyTestStreamCompleted();
    agents.back()->terminate();
    // A few events find no connector at all.
    waitFor(vyTestStreamCompleted() + 3);
    start();
  }
  waitFor(windows.back().first + 40);
  windows.back().second = vyTestStreamCompleted();
  agents.back()->terminate();
  long raised = vyTestStreamStop();

  std::regex number("ev#([0-9]+)#");
  std::map<long, int> seen;  // event number -> deliveries over every agent
  long delivered = 0, acknowledged = 0;
  for (size_t i = 0; i < agents.size(); ++i) {
    std::map<long, int> here;
    for (const std::string& wire : agents[i]->events()) {
      std::smatch m;
      ASSERT_TRUE(std::regex_search(wire, m, number)) << wire;
      long n = std::atol(m[1].str().c_str());
      ++here[n];
      ++seen[n];
      ++delivered;
    }
    for (long n = windows[i].first; n < windows[i].second; ++n)
      EXPECT_EQ(1, here[n]) << "agent " << i << ", event " << n;
  }
  for (const auto& s : seen) EXPECT_EQ(1, s.second) << "event " << s.first << " delivered twice";
  for (long n = 0; n < raised; ++n) {
    if (vyTestStreamAnswer(n) != 1) continue;
    ++acknowledged;
    EXPECT_EQ(1, seen.count(n)) << "event " << n << " answered 1 but never arrived";
  }
  std::printf("restart: %d restarts, %ld events raised, %ld delivered, %ld answered 1\n", cycles,
              raised, delivered, acknowledged);
}

}  // namespace
