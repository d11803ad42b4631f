// The benchmark connector's pending events: each event holds its own copy of the object it was
// made from, and the pending set holds each event once, also while threads add and remove.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "../../model/BusinessObjectTestSpecs.hpp"
#include "GenGenGlob.hpp"
#include "GlobDecls.hpp"
#include "PendingEvent.hpp"
#include "VyTestAgent.hpp"

namespace {

using bospecs::make;
using bospecs::text;
using PendingEventTest = bospecs::ModelTestOn<vytest::Agent>;

TEST_F(PendingEventTest, AnEventHoldsACopyOfItsObject) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Create", {"7", "Ann"}));
  bo->setAttrValue(2, make("Phone", nullptr, {"555"}), bospecs::kObject);
  PendingEvent event(*bo);
  BusinessObject* held = event.getMyBusObj();
  ASSERT_NE(nullptr, held);
  EXPECT_NE(bo.get(), held);
  bo->setAttrValue(1, "Bob", bospecs::kString);
  bo.reset();  // the copy outlives the original, children included
  EXPECT_EQ("Ann", text(held->getAttrValue(1)));
  EXPECT_STREQ("Create", held->getVerb());
  EXPECT_EQ("555:<none>", bospecs::children(static_cast<BusObjContainer*>(held->getAttrValue(2))));

  // Taken out, the object is the caller's; the event then destroys nothing.
  std::unique_ptr<BusinessObject> taken(event.getMyBusObj());
  event.removeMyBusObj();
  EXPECT_EQ(nullptr, event.getMyBusObj());
  event.setMyBusObj(make("Customer", "Update", {"8"}));  // owned by the event again
  EXPECT_EQ("8", text(event.getMyBusObj()->getAttrValue(0)));
}

TEST_F(PendingEventTest, ThePendingSetHoldsEachEventOnce) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Create", {"1"}));
  PendingEvent a(*bo);
  PendingEvent b(*bo);
  unsigned int before = myGlob.pendingCount();
  myGlob.addPendList(&a);
  myGlob.addPendList(&a);
  myGlob.addPendList(nullptr);
  EXPECT_EQ(before + 1, myGlob.pendingCount());
  EXPECT_TRUE(myGlob.isPending(&a));
  EXPECT_FALSE(myGlob.isPending(&b));
  EXPECT_FALSE(myGlob.isPending(nullptr));
  myGlob.addPendList(&b);
  EXPECT_EQ(before + 2, myGlob.pendingCount());
  myGlob.removePendList(&a);
  myGlob.removePendList(&a);
  myGlob.removePendList(nullptr);
  EXPECT_FALSE(myGlob.isPending(&a));
  EXPECT_TRUE(myGlob.isPending(&b));
  EXPECT_EQ(before + 1, myGlob.pendingCount());
  myGlob.removePendList(&b);
  EXPECT_EQ(before, myGlob.pendingCount());
}

TEST_F(PendingEventTest, ThreadsAddAndRemoveWithoutLosingAnEvent) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Create", {"1"}));
  const int kThreads = 8;
  const int kEach = 200;
  std::vector<std::unique_ptr<PendingEvent>> events;
  for (int i = 0; i < kThreads * kEach; ++i) events.emplace_back(new PendingEvent(*bo));
  unsigned int before = myGlob.pendingCount();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread adds its events, removes every other one, and adds some twice.
      for (int i = 0; i < kEach; ++i) myGlob.addPendList(events[t * kEach + i].get());
      for (int i = 0; i < kEach; i += 2) myGlob.removePendList(events[t * kEach + i].get());
      for (int i = 1; i < kEach; i += 4) myGlob.addPendList(events[t * kEach + i].get());
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(before + kThreads * kEach / 2, myGlob.pendingCount());
  for (int i = 0; i < kThreads * kEach; ++i) {
    EXPECT_EQ(i % 2 == 1, myGlob.isPending(events[i].get())) << i;
    myGlob.removePendList(events[i].get());
  }
  EXPECT_EQ(before, myGlob.pendingCount());
}

}  // namespace
