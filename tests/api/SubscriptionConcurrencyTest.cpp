// The subscription registry under overlapping use: the agent subscribing and cancelling on some
// threads while the polling thread asks whether events may be delivered.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "SubscriptionHandlerCPP.hpp"

namespace {

char* t(const char* s) { return const_cast<char*>(s); }

TEST(SubscriptionConcurrencyTest, ReadersSeeStableSubscriptionsWhileWritersChurn) {
  SubscriptionHandlerCPP handler;
  handler.subscribeTo(t("Stable"), nullptr, 1);
  handler.subscribeTo(t("Pinned"), t("Create"), 2);

  std::atomic<bool> done{false};
  std::atomic<int> wrongAnswers{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 3; ++w) {
    writers.emplace_back([&handler, w] {
      const char* verbs[] = {"Create", "Update", "Delete", nullptr};
      for (int n = 0; n < 3000; ++n) {
        std::string name = "Churn" + std::to_string((w * 7 + n) % 11);
        char* verb = t(verbs[n % 4]);
        handler.subscribeTo(t(name.c_str()), verb, n);
        handler.updateSub(t(name.c_str()), nullptr, verb, n + 1);
        handler.cancelSub(t(name.c_str()), nullptr, (n % 5 == 0) ? nullptr : verb);
        // The same verb on the stable names only ever adds nothing.
        handler.subscribeTo(t("Pinned"), t("Create"), 99);
      }
    });
  }
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) {
    readers.emplace_back([&] {
      while (!done.load()) {
        if (handler.isSubscribed(t("Stable"), t("Anything")) != 1) ++wrongAnswers;
        if (handler.isSubscribed(t("Pinned"), t("Create")) != 1) ++wrongAnswers;
        if (handler.isSubscribed(t("Pinned"), t("Delete")) != 0) ++wrongAnswers;
        if (handler.getPerf("Pinned") != 2) ++wrongAnswers;
        handler.isSubscribed(t("Churn3"), t("Create"));  // any answer, never a crash
      }
    });
  }
  for (auto& th : writers) th.join();
  done = true;
  for (auto& th : readers) th.join();
  EXPECT_EQ(0, wrongAnswers.load());

  // Every churned name was cancelled last with its own verb or every verb: whatever is left
  // answers consistently and is destroyed with the handler.
  for (int i = 0; i < 11; ++i) {
    std::string name = "Churn" + std::to_string(i);
    int any = handler.isSubscribed(t(name.c_str()), t("Create"));
    EXPECT_TRUE(any == 0 || any == 1);
  }
}

}  // namespace
