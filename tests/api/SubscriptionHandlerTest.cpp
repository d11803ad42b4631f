// The subscription registry on its own: what null and "*" verbs mean, which perf survives, what
// cancelling removes, and the handler's tolerance of unusable arguments.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "JToCPPVeneer.hpp"
#include "NativeAgent.hpp"
#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "TestRegistry.hpp"

namespace {

using vytest::Registry;
using vytest::t;

TEST(SubscriptionHandlerTest, NullVerbSubscribesEveryVerbButAnswersNoForANullQuestion) {
  Registry r;
  EXPECT_EQ(0, r.subscribeTo(t("Customer"), nullptr, 3));
  EXPECT_EQ(1, r.isSubscribed(t("Customer"), t("Create")));
  EXPECT_EQ(1, r.isSubscribed(t("Customer"), t("AnyVerbAtAll")));
  EXPECT_EQ(0, r.isSubscribed(t("Customer"), nullptr));
  EXPECT_EQ(0, r.isSubscribed(nullptr, t("Create")));
  EXPECT_EQ(0, r.isSubscribed(t("Order"), t("Create")));
  EXPECT_EQ(3, r.getPerf("Customer"));
}

TEST(SubscriptionHandlerTest, ExistingSubscriptionKeepsItsPerfUntilUpdated) {
  Registry r;
  r.subscribeTo(t("Customer"), t("Create"), 5);
  r.subscribeTo(t("Customer"), t("Create"), 7);
  EXPECT_EQ(1u, r.entries("Customer"));
  EXPECT_EQ(5, r.getPerf("Customer"));
  EXPECT_EQ(0, r.updateSub(t("Customer"), nullptr, t("Create"), 7));
  EXPECT_EQ(1u, r.entries("Customer"));
  EXPECT_EQ(7, r.getPerf("Customer"));
  // An update of a verb not there adds it.
  EXPECT_EQ(0, r.updateSub(t("Order"), nullptr, t("Delete"), 2));
  EXPECT_EQ(1, r.isSubscribed(t("Order"), t("Delete")));
  EXPECT_EQ(2, r.getPerf("Order"));
}

TEST(SubscriptionHandlerTest, AfterTheWildcardASpecificVerbAddsNothing) {
  Registry r;
  r.subscribeTo(t("Customer"), nullptr, 1);
  r.subscribeTo(t("Customer"), t("Create"), 9);
  r.subscribeTo(t("Customer"), t("*"), 9);
  EXPECT_EQ(1u, r.entries("Customer"));
  EXPECT_EQ(1, r.getPerf("Customer"));
}

TEST(SubscriptionHandlerTest, CancellingAVerbNeverRemovesTheWildcard) {
  Registry r;
  r.subscribeTo(t("Customer"), nullptr, 0);
  EXPECT_EQ(-1, r.cancelSub(t("Customer"), t("1.0"), t("Create")));
  EXPECT_EQ(1, r.isSubscribed(t("Customer"), t("Create")));

  // Cancelling "*" takes only the "*" entry.
  Registry both;
  both.subscribeTo(t("Customer"), t("Create"), 0);
  both.subscribeTo(t("Customer"), nullptr, 0);
  EXPECT_EQ(2u, both.entries("Customer"));
  EXPECT_EQ(0, both.cancelSub(t("Customer"), nullptr, t("*")));
  EXPECT_EQ(1, both.isSubscribed(t("Customer"), t("Create")));
  EXPECT_EQ(0, both.isSubscribed(t("Customer"), t("Delete")));
}

TEST(SubscriptionHandlerTest, NullVerbCancelRemovesEveryVerb) {
  Registry r;
  for (const char* verb : {"Create", "Update", "Delete"}) r.subscribeTo(t("Customer"), t(verb), 4);
  r.subscribeTo(t("Order"), t("Create"), 4);
  EXPECT_EQ(0, r.cancelSub(t("Customer"), nullptr, nullptr));
  for (const char* verb : {"Create", "Update", "Delete"}) {
    EXPECT_EQ(0, r.isSubscribed(t("Customer"), t(verb))) << verb;
  }
  EXPECT_EQ(-1, r.getPerf("Customer"));
  EXPECT_EQ(-1, r.cancelSub(t("Customer"), nullptr, nullptr));
  EXPECT_EQ(1, r.isSubscribed(t("Order"), t("Create")));
  // The name can be subscribed again afterwards.
  r.subscribeTo(t("Customer"), t("Create"), 6);
  EXPECT_EQ(6, r.getPerf("Customer"));
}

TEST(SubscriptionHandlerTest, VerbsAndNamesCompareExactly) {
  Registry r;
  r.subscribeTo(t("Customer"), t("Create"), 0);
  EXPECT_EQ(0, r.isSubscribed(t("Customer"), t("create")));
  EXPECT_EQ(0, r.isSubscribed(t("customer"), t("Create")));
  EXPECT_EQ(-1, r.cancelSub(t("Customer"), nullptr, t("CREATE")));
  EXPECT_EQ(0, r.cancelSub(t("Customer"), nullptr, t("Create")));
  EXPECT_EQ(-1, r.cancelSub(t("Customer"), nullptr, t("Create")));
}

TEST(SubscriptionHandlerTest, UnusableArgumentsChangeNothing) {
  Registry r;
  EXPECT_EQ(-1, r.subscribeTo(nullptr, t("Create"), 1));
  EXPECT_EQ(-1, r.subscribeTo(nullptr, t("Create")));
  EXPECT_EQ(-1, r.cancelSub(nullptr, nullptr, nullptr));
  EXPECT_EQ(-1, r.updateSub(nullptr, nullptr, t("Create"), 1));
  EXPECT_EQ(-1, r.subscribeTo(t("Customer"), t(""), 1));
  EXPECT_EQ(0u, r.entries("Customer"));
  EXPECT_EQ(-1, r.getPerf(nullptr));
  EXPECT_EQ(-1, r.getPerf(""));
  EXPECT_EQ(-1, r.getPerf("Nobody"));
}

TEST(SubscriptionHandlerTest, NegativePerfIsAnsweredAsZero) {
  Registry r;
  r.subscribeTo(t("Customer"), t("Create"), -4);
  EXPECT_EQ(0, r.getPerf("Customer"));
}

TEST(SubscriptionHandlerTest, LongNamesAndManyNamesAreKept) {
  Registry r;
  std::string longName(5000, 'N');
  r.subscribeTo(t(longName.c_str()), t("Create"), 2);
  EXPECT_EQ(1, r.isSubscribed(t(longName.c_str()), t("Create")));
  for (int i = 0; i < 500; ++i) {
    std::string name = "Type" + std::to_string(i);
    r.subscribeTo(t(name.c_str()), i % 2 ? nullptr : t("Create"), i);
  }
  for (int i = 0; i < 500; ++i) {
    std::string name = "Type" + std::to_string(i);
    EXPECT_EQ(i % 2, r.isSubscribed(t(name.c_str()), t("Delete"))) << name;
    EXPECT_EQ(i, r.getPerf(name.c_str()));
  }
  // The registry is destroyed with its entries still in it.
}

// A connector's own handler that treats names without regard to case: subscribing decides
// duplicates through its isSubscribed, not through the base registry's exact match.
class CaseBlindRegistry : public Registry {
 public:
  int asked = 0;
  int isSubscribed(char* name, char* verb) override {
    ++asked;
    if (name == nullptr) return 0;
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "customer" && entries("Customer") > 0 ? 1 : Registry::isSubscribed(name, verb);
  }
};

TEST(SubscriptionHandlerTest, SubscribingAsksTheOverriddenIsSubscribed) {
  CaseBlindRegistry r;
  EXPECT_EQ(0, r.subscribeTo(t("Customer"), t("Create"), 1));
  EXPECT_EQ(0, r.subscribeTo(t("CUSTOMER"), t("Create"), 1));
  EXPECT_GE(r.asked, 2);
  EXPECT_EQ(0u, r.entries("CUSTOMER")) << "the subclass said it is subscribed already";
  EXPECT_EQ(1u, r.entries("Customer"));
}

TEST(SubscribedVerbTest, OwnsACopyOfItsVerb) {
  char verb[] = "Create";
  SubscribedVerb entry(verb, 3);
  verb[0] = 'X';
  EXPECT_STREQ("Create", entry.getVerb());
  EXPECT_EQ(3, entry.getPerf());
  entry.setVerb(strdup("Delete"));
  EXPECT_STREQ("Delete", entry.getVerb());
  entry.init("Update", 8);
  EXPECT_STREQ("Update", entry.getVerb());
  EXPECT_EQ(8, entry.getPerf());
}

}  // namespace
