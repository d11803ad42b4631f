// A million round trips through n_DoVerbFor and a million events from a connector thread, with
// the process's resident size sampled after a warm-up: what the kit allocates per request or
// event must all come back (growth under 10 MB). Runs only under `make soak` (VY_SOAK set), which
// also fixes the Java heap size so that its growth does not count. VY_SOAK_ROUNDS changes the
// count of each kind (default 1,000,000).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ResidentSize.hpp"
#include "TestTypeTexts.hpp"
#include "VyConnector.hpp"
#include "VyTestAgent.hpp"

namespace {

using vytest::Agent;

const char kType[] = "LeakItem";
const long kWarmUp = 50000;
const long kAllowedGrowthKb = 10 * 1024;

long rounds() {
  const char* env = std::getenv("VY_SOAK_ROUNDS");
  long n = env != nullptr ? std::atol(env) : 0;
  return n > 0 ? n : 1000000;
}

std::u16string specText() {
  return vytest::wire(vytest::stringSpecFields(kType, {"Id", "Name", "ObjectEventId"}, {"Create"}));
}

std::u16string request(long i) {
  std::string id = std::to_string(i % 1000);
  return vytest::wire({"BusinessObject", "4.2.0.0", kType, "1.0.0", "false", "Create", "en_US", "3",
                       id, "name " + id, "KyIgnore"});
}

// The test agent lists every configuration property asked for (the test connector's handler
// asks two per request) whether or not it records; a new agent object empties that list, so the
// Java heap stays the size it was fixed at.
void forgetConfigRequests(long i) {
  if (i % 10000 == 0) Agent forget;
}

// Runs `count` steps of `step` after the warm-up and returns the growth in kB, printing samples.
template <typename Step>
long growthOver(const char* what, long count, Step step) {
  for (long i = 0; i < kWarmUp; ++i) {
    step(i);
    forgetConfigRequests(i);
  }
  long base = vytest::residentKb(), peak = base;
  for (long i = 0; i < count; ++i) {
    step(i);
    forgetConfigRequests(i);
    if ((i + 1) % (count / 10 > 0 ? count / 10 : 1) == 0) {
      long now = vytest::residentKb();
      if (now > peak) peak = now;
      std::printf("%s: %ld done, resident %ld kB (%+ld kB)\n", what, i + 1, now, now - base);
    }
  }
  long end = vytest::residentKb();
  std::printf("%s: base %ld kB, peak %ld kB, end %ld kB\n", what, base, peak, end);
  return end - base;
}

TEST(LeakSoakTest, AMillionRoundTripsAndAMillionEventsKeepTheResidentSize) {
  if (std::getenv("VY_SOAK") == nullptr) GTEST_SKIP() << "runs under make soak";
  Agent agent;
  agent.setRecording(false);
  agent.setEventAnswer(1);
  Agent::setProperty("PerfLevel", "2");
  ASSERT_EQ(0, agent.init());
  agent.gotBusObjSpec16(specText());
  agent.subscribeTo(kType, "Create", 0);
  const long n = rounds();

  long failed = 0;
  long verbGrowth = growthOver("round trips", n, [&](long i) {
    std::u16string text = request(i);
    vytest::VerbResult r = agent.doVerbFor(text, false);
    if (r.status != 1 || r.content != text) ++failed;
  });
  EXPECT_EQ(0, failed);
  EXPECT_LT(verbGrowth, kAllowedGrowthKb) << "resident size grew over the round trips";

  // Events from a thread of the connector's own, which the kit attaches to the JVM.
  long eventGrowth = 0;
  std::thread connector([&] {
    SubscriptionHandlerCPP* subs = JToCPPVeneer::getTheHandlerStuff()->getTheSubHandler();
    eventGrowth = growthOver("events", n, [&](long i) {
      BusinessObject bo(kType, "en_US");
      bo.setVerb("Create");
      bo.setAttrValue(0, std::to_string(i % 1000).c_str(), 5);
      if (subs->gotApplEvent(bo) != 1) ++failed;
    });
  });
  connector.join();
  EXPECT_EQ(0, failed);
  EXPECT_LT(eventGrowth, kAllowedGrowthKb) << "resident size grew over the events";
}

}  // namespace
