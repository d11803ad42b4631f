// Eight agent threads and one connector thread at once, every answer checked: verbs (good and
// malformed, plain and transactional), subscription changes, spec re-announcements and
// performance reports from the agent side while the connector raises events. The number of
// operations per thread is VY_SOAK_OPS (default 300, the version `make test` runs; `make soak`
// runs about 30 seconds' worth).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

const char kType[] = "SoakItem";
const int kAgentThreads = 8;

int opsPerThread() {
  const char* env = std::getenv("VY_SOAK_OPS");
  int n = env != nullptr ? std::atoi(env) : 0;
  return n > 0 ? n : 300;
}

// SoakItem: 0 Id (key), 1 Name, 2 Lines (SoakLine, n), 3 ObjectEventId; SoakLine: 0 No (key).
std::u16string specText(const std::string& name, const std::vector<std::string>& attrs) {
  std::vector<std::string> f = {
      "BusObjSpec", "4.2.0.0", name, "1.0.0", "\x05", std::to_string(attrs.size()), "3"};
  bool key = true;
  for (const std::string& a : attrs) {
    size_t colon = a.find(':');
    std::string type = colon == std::string::npos ? "String" : a.substr(colon + 1);
    std::vector<std::string> group = {a.substr(0, colon),
                                      type,
                                      key ? "true" : "false",
                                      "false",
                                      "false",
                                      "\x05",
                                      "40",
                                      "\x05",
                                      "1.0.0",
                                      type == "String" ? "1" : "n",
                                      "Containment",
                                      "true",
                                      "\x05"};
    f.insert(f.end(), group.begin(), group.end());
    key = false;
  }
  f.insert(f.end(), {"Create", "\x05", "Update", "\x05", "Retrieve", "\x05"});
  return vytest::wire(f);
}

const std::u16string& itemSpec() {
  static const std::u16string text =
      specText(kType, {"Id", "Name", "Lines:SoakLine", "ObjectEventId"});
  return text;
}

// A request in the form the kit writes it back, so an untouched object comes back unchanged.
std::u16string request(const std::string& id, int lines) {
  std::vector<std::string> f = {"BusinessObject", "4.2.0.0", kType, "1.0.0", "false",
                                "Create",         "en_US",   "4",   id,      "n-" + id};
  if (lines == 0) {
    f.push_back("0");
  } else {
    f.push_back(std::to_string(lines));
    f.push_back("false");
    for (int i = 0; i < lines; ++i) {
      f.insert(f.end(), {"BusinessObject", "4.2.0.0", "SoakLine", "1.0.0", "false", "Create",
                         "en_US", "1", id + "." + std::to_string(i)});
    }
  }
  f.push_back("KyIgnore");
  return vytest::wire(f);
}

// Failures are collected, not asserted, on worker threads; the test reports the first few.
class Failures {
 public:
  void add(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock_);
    if (list_.size() < 20) list_.push_back(what);
    ++count_;
  }
  int count() const { return count_; }
  const std::vector<std::string>& list() const { return list_; }

 private:
  std::mutex lock_;
  std::vector<std::string> list_;
  int count_ = 0;
};

void detach() {
  JavaVM* vm = nullptr;
  vytest::env()->GetJavaVM(&vm);
  vm->DetachCurrentThread();
}

TEST(ConcurrencySoakTest, AgentThreadsAndAConnectorThreadOverlapAndEveryAnswerIsRight) {
  Agent agent;
  Agent::setProperty("PerfLevel", "2");
  agent.setRecording(false);
  agent.setEventAnswer(1);
  ASSERT_EQ(0, agent.init());
  agent.gotBusObjSpec16(specText("SoakLine", {"No"}));
  agent.gotBusObjSpec16(itemSpec());
  ASSERT_EQ(0, agent.subscribeTo(kType, "Create", 0));

  const int ops = opsPerThread();
  Failures failures;
  std::atomic<int> agentThreadsDone{0};
  std::atomic<long> verbs{0}, events{0};

  auto agentThread = [&](int t) {
    for (int i = 0; i < ops; ++i) {
      std::string id = std::to_string(t) + "-" + std::to_string(i);
      switch (i % 8) {
        case 0:
        case 1:
        case 2: {  // a good request comes back as it went
          std::u16string text = request(id, i % 3);
          vytest::VerbResult r = agent.doVerbFor(text, false);
          if (r.status != 1 || r.content != text) failures.add("verb " + id + ": " + r.error);
          ++verbs;
          break;
        }
        case 3: {  // a malformed one fails and keeps the bucket
          std::u16string text = request(id, 1);
          text.resize(text.size() - 5);
          vytest::VerbResult r = agent.doVerbFor(text, i % 2 == 0);
          if (r.status != -1 || !r.hasError || r.content != text)
            failures.add("malformed " + id + " answered " + std::to_string(r.status));
          ++verbs;
          break;
        }
        case 4: {  // subscriptions of names of its own come and go; the shared one stays
          std::string name = "Churn" + std::to_string(t);
          agent.subscribeTo(name.c_str(), "Update", i);
          if (!agent.isSubscribed(name.c_str(), "Update")) failures.add("subscribe " + name);
          agent.updateSubscription(name.c_str(), "Update", 0, i + 1);
          agent.cancelSub(name.c_str(), "1.0.0", "Update");
          if (agent.isSubscribed(name.c_str(), "Update")) failures.add("cancel " + name);
          if (!agent.isSubscribed(kType, "Create")) failures.add("the shared subscription");
          break;
        }
        case 5:  // the spec again: requests in flight keep working
          agent.gotBusObjSpec16(itemSpec());
          break;
        case 6: {
          std::string report = agent.getPerfMonitors();
          (void)report;  // any text; the call must not disturb the others
          break;
        }
        case 7: {
          std::u16string text = request(id, 0);
          vytest::VerbResult r = agent.doVerbFor(text, false);
          if (r.status != 1 || r.content != text) failures.add("verb " + id + ": " + r.error);
          ++verbs;
          break;
        }
      }
    }
    ++agentThreadsDone;
    detach();
  };

  // The connector's own thread: events while the agent works; subscribed verbs reach the
  // agent (its answer 1), others are answered -10.
  auto connectorThread = [&] {
    SubscriptionHandlerCPP* subs = JToCPPVeneer::getTheHandlerStuff()->getTheSubHandler();
    for (int i = 0; agentThreadsDone.load() < kAgentThreads || i < ops; ++i) {
      BusinessObject bo(kType, "en_US");
      bool subscribed = i % 4 != 0;
      bo.setVerb(subscribed ? "Create" : "Update");
      bo.setAttrValue(0, ("ev" + std::to_string(i)).c_str(), 5);
      int answer = subs->gotApplEvent(bo);
      if (answer != (subscribed ? 1 : -10))
        failures.add("event " + std::to_string(i) + " answered " + std::to_string(answer));
      ++events;
    }
    detach();
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < kAgentThreads; ++t) threads.emplace_back(agentThread, t);
  threads.emplace_back(connectorThread);
  for (std::thread& th : threads) th.join();

  EXPECT_EQ(0, failures.count());
  for (const std::string& f : failures.list()) ADD_FAILURE() << f;
  EXPECT_GT(verbs.load(), 0);
  EXPECT_GE(events.load(), ops);
  EXPECT_TRUE(agent.isSubscribed(kType, "Create"));
  vytest::checkNoException("soak");
}

}  // namespace
