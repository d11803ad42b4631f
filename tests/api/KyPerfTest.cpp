// Performance flows and their registry: what update answers, what a report takes out of the
// registry, the flow text, and the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "KyPerfFlow.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"

namespace {

// The flows a report returns, with the array released.
std::vector<KyPerfFlow*> report() {
  int count = -1;
  KyPerfFlow** flows = KyPerfUtil::getAllFlows(&count);
  std::vector<KyPerfFlow*> out(flows, flows + count);
  delete[] flows;
  return out;
}

void measure(KyPerfFlow* flow, int start, int stop) {
  flow->start = start;
  flow->stop = stop;
}

class KyPerfTest : public ::testing::Test {
 protected:
  void SetUp() override { report(); }  // other tests may have left flows registered
  void TearDown() override { report(); }
};

TEST_F(KyPerfTest, UpdateAddsOneMeasurementAndRegistersTheFlowOnce) {
  KyPerfFlow* flow = KyPerfUtil::createPerfFlow("conn", "poll");
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_FAIL, KyPerfUtil::update(flow));
  flow->start = 100;
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_FAIL, KyPerfUtil::update(flow));
  EXPECT_EQ(0, flow->getCount());

  measure(flow, 100, 130);
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_NEW, KyPerfUtil::update(flow));
  measure(flow, 200, 210);
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_SUCCESS, KyPerfUtil::update(flow));
  EXPECT_EQ(2, flow->getCount());
  EXPECT_EQ(40, flow->getTotal());

  std::vector<KyPerfFlow*> flows = report();
  ASSERT_EQ(1u, flows.size());
  EXPECT_EQ(flow, flows[0]);
  EXPECT_TRUE(report().empty());

  // Reported flows keep their totals; the next update registers them again.
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_NEW, KyPerfUtil::update(flow));
  EXPECT_EQ(3, flow->getCount());
  char text[64];
  flow->toString(text, sizeof text);
  EXPECT_STREQ("conn~poll~16~", text);  // (30 + 10 + 10) / 3
  report();
  delete flow;
}

TEST_F(KyPerfTest, ClearGivesANewIdentity) {
  KyPerfFlow* flow = KyPerfUtil::createPerfFlow("conn", "init");
  int id = flow->getID();
  measure(flow, 0, 5);
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_NEW, KyPerfUtil::update(flow));
  flow->clear();
  EXPECT_NE(id, flow->getID());
  EXPECT_EQ(0, flow->getCount());
  EXPECT_EQ(-1, flow->start);
  EXPECT_EQ(-1, flow->stop);
  EXPECT_TRUE(flow->getFirstName().isEmpty());
  measure(flow, 0, 5);
  EXPECT_EQ(KyPerfUtil::RESULT_UPDATE_NEW, KyPerfUtil::update(flow));
  EXPECT_EQ(2u, report().size());  // the same object, registered under both identities
  delete flow;
}

TEST_F(KyPerfTest, FlowTextIsCutToTheBufferButMeasuredInFull) {
  KyPerfFlow empty;
  char text[32];
  EXPECT_EQ(4, empty.toString(text, sizeof text));
  EXPECT_STREQ("~~0~", text);  // no names, no measurement: average 0

  KyPerfFlow* flow = KyPerfUtil::createPerfFlow("abcdef", "op");
  flow->toString(text, sizeof text);
  EXPECT_STREQ("abcdef~op~0~", text);
  EXPECT_EQ(12, flow->toString(text, 8));
  EXPECT_STREQ("abcdef", text);  // size - 2 characters
  EXPECT_EQ(12, flow->toString(nullptr, 0));

  std::string longName(700, 'n');
  KyPerfFlow* big = KyPerfUtil::createPerfFlow(longName.c_str(), "op");
  std::vector<char> buf(800);
  EXPECT_EQ(706, big->toString(buf.data(), static_cast<int>(buf.size())));
  EXPECT_EQ(longName + "~op~0~", std::string(buf.data()));
  delete flow;
  delete big;
}

TEST_F(KyPerfTest, ClockIsElapsedMilliseconds) {
  long a = KyTimer::getCurrentMilli();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  long b = KyTimer::getCurrentMilli();
  EXPECT_GE(a, 0);
  // A processor-time clock would barely move while the thread sleeps.
  EXPECT_GE(b - a, 25);
}

TEST_F(KyPerfTest, ParallelUpdatesAndReportsLoseNoMeasurement) {
  const int kThreads = 4;
  const int kUpdates = 20000;
  std::vector<KyPerfFlow*> flows;
  for (int i = 0; i < kThreads; ++i) {
    flows.push_back(KyPerfUtil::createPerfFlow("conn", ("op" + std::to_string(i)).c_str()));
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&flows, i] {
      for (int n = 0; n < kUpdates; ++n) {
        KyPerfUtil::startTimer(flows[i]);
        KyPerfUtil::stopTimer(flows[i]);
        KyPerfUtil::update(flows[i]);
      }
    });
  }
  int reported = 0;
  std::thread reader([&reported] {
    for (int n = 0; n < 2000; ++n) reported += static_cast<int>(report().size());
  });
  for (auto& th : threads) th.join();
  reader.join();
  reported += static_cast<int>(report().size());
  EXPECT_GE(reported, kThreads);
  char text[64];
  for (KyPerfFlow* flow : flows) {
    EXPECT_EQ(kUpdates, flow->getCount());
    EXPECT_GT(flow->toString(text, sizeof text), 0);
    delete flow;
  }
}

}  // namespace
