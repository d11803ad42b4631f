// Delta and after-image processing: action objects from two images or from a delta, and complete
// after-images from a delta, with children matched by their keys.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BusinessObjectTestSpecs.hpp"
#include "NativeAgent.hpp"
#include "VyConnector.hpp"

namespace {

using bospecs::children;
using bospecs::kObject;
using bospecs::kString;
using bospecs::make;
using ModelTest = bospecs::ModelTestOn<vytest::NativeAgent>;
using bospecs::text;

using DeltaTest = ModelTest;

struct LineDef {
  const char* no;
  const char* verb;
  const char* qty;
};

// An Order (Id, Note) with one Line per definition in its Lines container.
std::unique_ptr<BusinessObject> order(const char* id, const std::vector<LineDef>& lines,
                                      const char* verb = nullptr, const char* note = nullptr) {
  std::unique_ptr<BusinessObject> bo(make("Order", verb, {id, note}));
  for (const LineDef& l : lines) bo->setAttrValue(2, make("Line", l.verb, {l.no, l.qty}), kObject);
  return bo;
}

BusObjContainer* lines(BusinessObject* bo) {
  return static_cast<BusObjContainer*>(bo->getAttrValue(2));
}
BusinessObject* extra(BusinessObject* bo) {
  return static_cast<BusinessObject*>(bo->getAttrValue(3));
}

// Order 1 with the Lines A to D (Retrieve, Qty 1 to 4).
std::unique_ptr<BusinessObject> fourLines() {
  return order("1", {{"A", "Retrieve", "1"},
                     {"B", "Retrieve", "2"},
                     {"C", "Retrieve", "3"},
                     {"D", "Retrieve", "4"}});
}

// A delta (Update) of fourLines(): B deleted, C itself a delta (Qty 30), D a complete image
// (Qty 40), E (Delete) not in the order, then `more`; its Lines container is a delta too.
std::unique_ptr<BusinessObject> deltaOfFourLines(const std::vector<LineDef>& more) {
  std::vector<LineDef> defs = {
      {"B", "Delete", nullptr}, {"C", "Update", "30"}, {"D", "Update", "40"}, {"E", "Delete", "5"}};
  defs.insert(defs.end(), more.begin(), more.end());
  auto delta = order("1", defs, "Update");
  delta->setDelta(1);
  lines(delta.get())->setDelta(1);
  lines(delta.get())->getObject(1)->setDelta(1);
  return delta;
}

void expectParentsAre(BusinessObject* bo) {
  BusObjContainer* c = lines(bo);
  for (int i = 0; c != nullptr && i < c->getObjectCount(); ++i) {
    if (c->getObject(i) != nullptr) {
      EXPECT_EQ(bo, c->getObject(i)->getParent()) << i;
    }
  }
  if (extra(bo) != nullptr) {
    EXPECT_EQ(bo, extra(bo)->getParent());
  }
}

// ---- action objects from two images ----

TEST_F(DeltaTest, ActionObjectMarksNewCommonAndRemovedChildren) {
  auto now = order("1", {{"A", "Retrieve", "1"}, {"B", "Retrieve", "2"}}, "Update");
  auto old = order("1", {{"B", "Retrieve", "9"}, {"C", "Retrieve", "3"}});
  now->createActionObject(old.get());
  EXPECT_EQ("A:Create B:Update C:Delete", children(lines(now.get())));
  EXPECT_EQ("2", text(lines(now.get())->getObject(1)->getAttrValue(1))) << "B keeps its values";
  EXPECT_EQ("3", text(lines(now.get())->getObject(2)->getAttrValue(1))) << "C copied from old";
  EXPECT_NE(lines(old.get())->getObject(1), lines(now.get())->getObject(2));
  expectParentsAre(now.get());
  EXPECT_STREQ("Update", now->getVerb()) << "the object's own verb is not changed";
  EXPECT_EQ("B:Retrieve C:Retrieve", children(lines(old.get()))) << "old is left as it was";

  // The same through the older name.
  auto again = order("1", {{"A", "Retrieve", "1"}});
  again->actionObjectMethod(old.get());
  EXPECT_EQ("A:Create B:Delete C:Delete", children(lines(again.get())));
}

TEST_F(DeltaTest, ActionObjectOfImagesWithDifferentKeysChangesNothing) {
  auto now = order("1", {{"A", "Retrieve", "1"}});
  auto old = order("2", {{"B", "Retrieve", "1"}});
  now->createActionObject(old.get());
  EXPECT_EQ("A:Retrieve", children(lines(now.get())));
  now->createActionObject(nullptr);
  EXPECT_EQ("A:Retrieve", children(lines(now.get())));
}

TEST_F(DeltaTest, ActionObjectCopiesInContainersAndSingleChildrenOnlyTheOldHas) {
  auto now = order("1", {});
  now->setAttrValue(3, make("Line", "Retrieve", {"X"}), kObject);
  auto old = order("1", {{"B", "Retrieve", "1"}, {"C", "Retrieve", "1"}});
  now->createActionObject(old.get());
  EXPECT_EQ("B:Delete C:Delete", children(lines(now.get())));
  EXPECT_STREQ("Create", extra(now.get())->getVerb()) << "a child only the new image has";

  auto bare = order("1", {});
  bare->createActionObject(now.get());
  EXPECT_STREQ("Delete", extra(bare.get())->getVerb()) << "a child only the old image has";
  EXPECT_NE(extra(now.get()), extra(bare.get()));
  expectParentsAre(bare.get());

  // A container the old image lacks: everything is new.
  auto fresh = order("1", {{"N", "Retrieve", "1"}});
  auto lacking = order("1", {});
  fresh->createActionObject(lacking.get());
  EXPECT_EQ("N:Create", children(lines(fresh.get())));
}

// ---- action objects from a delta ----

TEST_F(DeltaTest, DeltaValuesIgnoredKeepBlankBlanksOthersReplace) {
  auto current = order("1", {}, "Retrieve", "old note");
  current->setAttrValue(4, "event", kString);
  auto delta = order("1", {}, "Update");
  delta->setDelta(1);
  delta->setAttrValue(1, BusinessObject::BlankValue, kString);
  EXPECT_EQ(0, current->createActionObjectFromDelta(delta.get()));
  EXPECT_STREQ("Update", current->getVerb());
  EXPECT_EQ(BusinessObject::BlankValue, current->getAttrValue(1)) << "blank blanks";
  EXPECT_EQ("event", text(current->getAttrValue(4))) << "ignored leaves the value";

  auto after = order("1", {}, "Retrieve", "old note");
  delta->setAttrValue(1, "new note", kString);
  EXPECT_EQ(0, after->createAfterImageFromDelta(delta.get()));
  EXPECT_EQ("new note", text(after->getAttrValue(1)));
  delta->setAttrValue(1, BusinessObject::BlankValue, kString);
  delta->setAttrValue(0, BusinessObject::IgnoreValue, kString);
  after->createAfterImageFromDelta(delta.get());
  EXPECT_EQ(BusinessObject::BlankValue, after->getAttrValue(1));
  EXPECT_EQ("1", text(after->getAttrValue(0)));

  auto other = order("2", {});
  EXPECT_EQ(-1, current->createActionObjectFromDelta(other.get())) << "keys differ";
  EXPECT_EQ(-1, current->createActionObjectFromDelta(nullptr));
}

TEST_F(DeltaTest, DeltaContainerGivesAnActionObject) {
  auto current = fourLines();
  auto delta = deltaOfFourLines({{"F", "Update", "6"}});
  EXPECT_EQ(0, current->createActionObjectFromDelta(delta.get()));

  EXPECT_EQ("A:Retrieve B:Delete C:Update D:Update E:Create F:Create",
            children(lines(current.get())));
  BusObjContainer* result = lines(current.get());
  EXPECT_EQ("30", text(result->getObject(2)->getAttrValue(1))) << "C merged";
  EXPECT_EQ("40", text(result->getObject(3)->getAttrValue(1))) << "D replaced";
  EXPECT_NE(lines(delta.get())->getObject(2), result->getObject(3));
  EXPECT_EQ("E:Create F:Create",
            children(lines(delta.get())).substr(children(lines(delta.get())).find("E:")))
      << "unmatched delta children are marked Create in the delta too";
  expectParentsAre(current.get());
}

TEST_F(DeltaTest, NonDeltaContainerInADeltaIsTheCompleteNewSet) {
  auto current = order("1", {{"A", "Retrieve", "1"}, {"B", "Retrieve", "2"}});
  auto delta = order("1", {{"B", "Update", "20"}, {"C", "Create", "3"}}, "Update");
  delta->setDelta(1);
  EXPECT_EQ(0, current->createActionObjectFromDelta(delta.get()));
  EXPECT_EQ("A:Delete B:Update C:Create", children(lines(current.get())));
  EXPECT_EQ("20", text(lines(current.get())->getObject(1)->getAttrValue(1)))
      << "the common child is the new one";
  expectParentsAre(current.get());

  // An object without the container takes copies of the delta's children.
  auto empty = order("1", {});
  empty->createActionObjectFromDelta(delta.get());
  EXPECT_EQ("B:Update C:Create", children(lines(empty.get())));
  expectParentsAre(empty.get());
}

TEST_F(DeltaTest, SingleChildrenOfADelta) {
  auto current = order("1", {});
  auto delta = order("1", {}, "Update");
  delta->setDelta(1);
  delta->setAttrValue(3, make("Line", "Update", {"X", "5"}), kObject);

  current->createActionObjectFromDelta(delta.get());
  ASSERT_NE(nullptr, extra(current.get()));
  EXPECT_NE(extra(delta.get()), extra(current.get())) << "a copy is stored";
  EXPECT_EQ(current.get(), extra(current.get())->getParent());

  // Same keys, child a delta: merged in place.
  BusinessObject* kept = extra(current.get());
  extra(delta.get())->setDelta(1);
  extra(delta.get())->setAttrValue(1, "6", bospecs::kInteger);
  current->createActionObjectFromDelta(delta.get());
  EXPECT_EQ(kept, extra(current.get()));
  EXPECT_EQ("6", text(kept->getAttrValue(1)));

  // Different keys: replaced by a copy of the delta's child.
  extra(delta.get())->setAttrValue(0, "Y", kString);
  current->createActionObjectFromDelta(delta.get());
  EXPECT_EQ("Y", text(extra(current.get())->getAttrValue(0)));

  // Same keys, child a complete image: a marked copy replaces it.
  extra(delta.get())->setDelta(0);
  extra(delta.get())->setVerb("Retrieve");
  current->createActionObjectFromDelta(delta.get());
  EXPECT_EQ("Y", text(extra(current.get())->getAttrValue(0)));
  EXPECT_STREQ("Retrieve", extra(current.get())->getVerb());
  EXPECT_EQ(current.get(), extra(current.get())->getParent());
}

// ---- after-images from a delta ----

TEST_F(DeltaTest, DeltaContainerGivesTheCompleteChildren) {
  auto current = fourLines();
  auto delta = deltaOfFourLines({});
  lines(delta.get())->getObject(2)->setAttrValue(2, "d-event", kString);
  EXPECT_EQ(0, current->createAfterImageFromDelta(delta.get()));
  EXPECT_STREQ("Update", current->getVerb());
  BusObjContainer* result = lines(current.get());
  EXPECT_EQ("A:Retrieve C:Update D:Update E:Create", children(result))
      << "B removed, C merged, D replaced, E (Delete, unmatched) appended as Create";
  EXPECT_EQ("30", text(result->getObject(1)->getAttrValue(1)));
  EXPECT_EQ("40", text(result->getObject(2)->getAttrValue(1)));
  EXPECT_EQ("d-event", text(result->getObject(2)->getAttrValue(2)));
  EXPECT_STREQ("Create", lines(delta.get())->getObject(3)->getVerb());
  expectParentsAre(current.get());
}

TEST_F(DeltaTest, NonDeltaContainerReplacesAllChildren) {
  auto current = order("1", {{"A", "Retrieve", "1"}, {"B", "Retrieve", "2"}});
  auto delta = order("1", {{"B", "Update", "20"}, {"C", "Create", "3"}}, "Update");
  delta->setDelta(1);
  current->createAfterImageFromDelta(delta.get());
  EXPECT_EQ("B:Update C:Create", children(lines(current.get())));
  expectParentsAre(current.get());

  auto empty = order("1", {});
  empty->createAfterImageFromDelta(delta.get());
  EXPECT_EQ("B:Update C:Create", children(lines(empty.get())));
  auto none = order("1", {});
  none->setDelta(1);
  empty->createAfterImageFromDelta(none.get());
  EXPECT_EQ("B:Update C:Create", children(lines(empty.get()))) << "no container: no change";
}

TEST_F(DeltaTest, SingleChildOfADeltaInAnAfterImage) {
  auto current = order("1", {});
  current->setAttrValue(3, make("Line", "Retrieve", {"X", "1"}), kObject);
  BusinessObject* kept = extra(current.get());
  auto delta = order("1", {}, "Update");
  delta->setDelta(1);
  BusinessObject* d = make("Line", "Update", {"X", "2"});
  d->setDelta(1);
  delta->setAttrValue(3, d, kObject);
  current->createAfterImageFromDelta(delta.get());
  EXPECT_EQ(kept, extra(current.get())) << "a delta child is merged into the same object";
  EXPECT_EQ("2", text(kept->getAttrValue(1)));
  EXPECT_STREQ("Update", kept->getVerb());

  d->setVerb("Delete");
  current->createAfterImageFromDelta(delta.get());
  EXPECT_NE(d, extra(current.get()));
  EXPECT_STREQ("Delete", extra(current.get())->getVerb()) << "a Delete child replaces it";
  EXPECT_EQ(current.get(), extra(current.get())->getParent());
}

TEST_F(DeltaTest, DeltaWorkThroughTheHandlerLeavesTheAfterImage) {
  // A delta Update for a type the agent does not take as deltas: the framework retrieves (the
  // test handler leaves the clone as it is), applies the delta and runs the update.
  vytest::NativeAgent::setDeltaSupport("Order", "false");
  auto delta = order("1", {{"A", "Update", "5"}}, "Update", "note");
  delta->setDelta(1);
  lines(delta.get())->setDelta(1);
  lines(delta.get())->getObject(0)->setDelta(1);
  ReturnStatusDescriptor status;
  EXPECT_EQ(1, delta->doVerbFor(&status));
  EXPECT_EQ(0u, delta->isDelta()) << "the delta flag is cleared";
  EXPECT_EQ("note", text(delta->getAttrValue(1)));
  EXPECT_EQ(0u, lines(delta.get())->isDelta());
  EXPECT_EQ("A:Update", children(lines(delta.get())));
  expectParentsAre(delta.get());
}

TEST_F(DeltaTest, ResetVerbReachesTheWholeTree) {
  auto bo = order("1", {{"A", "Retrieve", "1"}, {"B", nullptr, "2"}}, "Retrieve");
  bo->setAttrValue(3, make("Line", nullptr, {"X"}), kObject);
  bo->resetVerb("Delete");
  EXPECT_STREQ("Delete", bo->getVerb());
  EXPECT_EQ("A:Delete B:Delete", children(lines(bo.get())));
  EXPECT_STREQ("Delete", extra(bo.get())->getVerb());

  // A verb the spec does not support is refused on every object and reported.
  agent.clearRecords();
  bo->resetVerb("Explode");
  EXPECT_STREQ("Delete", bo->getVerb());
  EXPECT_EQ(4u, agent.messagesNumbered(62).size());
}

TEST_F(DeltaTest, RepeatedDeltasDoNotGrowTheTree) {
  // Every replaced child is released by the algorithms; the tree stays the same size.
  auto current = order("1", {{"A", "Retrieve", "1"}, {"B", "Retrieve", "2"}});
  current->setAttrValue(3, make("Line", "Retrieve", {"X", "1"}), kObject);
  auto delta = order("1", {{"A", "Update", "10"}, {"B", "Delete", nullptr}}, "Update");
  delta->setDelta(1);
  lines(delta.get())->setDelta(1);
  delta->setAttrValue(3, make("Line", "Update", {"Y", "2"}), kObject);
  for (int i = 0; i < 200; ++i) {
    current->createActionObjectFromDelta(delta.get());
    current->createAfterImageFromDelta(delta.get());
  }
  // B is removed by the first after-image, then comes back as "Create" (the delta's unmatched
  // B was marked so): two children, whatever the number of rounds.
  EXPECT_EQ("A:Update B:Create", children(lines(current.get())));
  EXPECT_EQ("Y", text(extra(current.get())->getAttrValue(0)));
}

}  // namespace
