// Business objects as connector code and the agent use them: slots and markers, verbs, copies,
// comparisons, defaults, event ids, the handler call, and the wire layout with its defences
// against malformed input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BusinessObjectTestSpecs.hpp"
#include "NativeAgent.hpp"
#include "TestConnectorControl.hpp"
#include "VyConnector.hpp"

namespace {

using bospecs::children;
using bospecs::kInteger;
using bospecs::kObject;
using bospecs::kString;
using bospecs::make;
using ModelTest = bospecs::ModelTestOn<vytest::NativeAgent>;
using bospecs::text;
using bospecs::tokens;
using bospecs::units;

using BusinessObjectTest = ModelTest;

void expectMessage(vytest::NativeAgent& agent, int num, int type, const std::string& args) {
  std::vector<vytest::MsgRequest> sent = agent.messagesNumbered(num);
  ASSERT_EQ(1u, sent.size()) << "message " << num;
  EXPECT_EQ(type, sent[0].type) << "message " << num;
  EXPECT_EQ(1, sent[0].set) << "message " << num << " is the framework's";
  EXPECT_EQ(2, sent[0].argCount) << "message " << num;
  EXPECT_EQ(args, sent[0].args) << "message " << num;
}

// ---- construction, slots and markers ----

TEST_F(BusinessObjectTest, NewObjectIsAnIgnoredAfterImageInTheAgentsLocale) {
  BusinessObject bo("Customer");
  ASSERT_NE(nullptr, bo.getTheSpec());
  EXPECT_STREQ("Customer", bo.getName());
  EXPECT_STREQ("1.0.0", bo.getVersion()->toString());
  EXPECT_EQ(4, bo.getAttrCount());
  EXPECT_STREQ("en_US", bo.getLocale());
  EXPECT_EQ(nullptr, bo.getVerb());
  EXPECT_EQ(0u, bo.isDelta());
  for (int i = 0; i < bo.getAttrCount(); ++i) {
    EXPECT_TRUE(bo.isIgnore(i));
    EXPECT_FALSE(bo.isBlank(i));
  }
  EXPECT_TRUE(bo.isIgnore("NoSuchAttribute"));
  EXPECT_EQ(-1, bo.getAttrType("NoSuchAttribute"));
  EXPECT_EQ(nullptr, bo.getAttrName(4));
  EXPECT_STREQ("Phones", bo.getAttrName(2));
  EXPECT_EQ(kObject, bo.getAttrType("Owner"));
  EXPECT_EQ(nullptr, bo.getDefaultAttrValue("NoSuchAttribute"));

  BusinessObject withLocale("Customer", "de_DE");
  EXPECT_STREQ("de_DE", withLocale.getLocale());
  EXPECT_STREQ("de_DE", withLocale.setLocale(""));
  EXPECT_STREQ("fr_FR", withLocale.setLocale("fr_FR"));
  BusinessObject noLocale("Customer", static_cast<const char*>(nullptr));
  EXPECT_STREQ("en_US", noLocale.getLocale());
  EXPECT_TRUE(agent.messages().empty());
}

TEST_F(BusinessObjectTest, UnknownTypeLogsMessage64AndLeavesNoSpec) {
  BusinessObject bo("NoSuchType");
  EXPECT_EQ(nullptr, bo.getTheSpec());
  expectMessage(agent, 64, KyMsgFormat::MLV_ERROR, "0.0.0,NoSuchType");
  // Everything stays safe on an object without spec.
  EXPECT_EQ(0, bo.setAttrValue(0, "x", kString));
  EXPECT_EQ(nullptr, bo.getName());
  EXPECT_EQ(nullptr, std::unique_ptr<BusinessObject>(bo.clone())->getTheSpec());
  char buf[256];
  EXPECT_GT(bo.dump(buf, sizeof buf), 0);
}

TEST_F(BusinessObjectTest, MarkersAndTextsFollowTheStoringRule) {
  BusinessObject bo("Customer");
  EXPECT_TRUE(BusinessObject::isIgnoreValue(nullptr));
  EXPECT_FALSE(BusinessObject::isBlankValue(nullptr));
  EXPECT_TRUE(BusinessObject::isBlankValue(BusinessObject::BlankValue));
  EXPECT_TRUE(BusinessObject::isBlankValue(""));

  char value[] = "Smith";
  ASSERT_EQ(1, bo.setAttrValue("Name", value, kString));
  value[0] = '#';
  EXPECT_EQ("Smith", text(bo.getAttrValue(1))) << "the text is copied";
  ASSERT_EQ(1, bo.setAttrValue(1, "", kString));
  EXPECT_NE(BusinessObject::BlankValue, bo.getAttrValue(1)) << "an owned empty text";
  EXPECT_TRUE(bo.isBlank(1));
  ASSERT_EQ(1, bo.setAttrValue(1, BusinessObject::BlankValue, 99)) << "blank with any type";
  EXPECT_EQ(BusinessObject::BlankValue, bo.getAttrValue(1));
  ASSERT_EQ(1, bo.setAttrValue(1, BusinessObject::IgnoreValue, kString));
  EXPECT_TRUE(bo.isIgnore(1));
  EXPECT_TRUE(agent.messages().empty());

  // Refusals leave the slot and tell the agent.
  ASSERT_EQ(1, bo.setAttrValue(0, "17", kString));
  EXPECT_EQ(0, bo.setAttrValue(0, "18", kInteger));
  expectMessage(agent, 73, KyMsgFormat::MLV_FATAL, "0,2");
  EXPECT_EQ(0, bo.setAttrValue("Id", "18", kInteger));
  expectMessage(agent, 72, KyMsgFormat::MLV_FATAL, "Id,2");
  EXPECT_EQ("17", text(bo.getAttrValue("Id")));
  EXPECT_EQ(0, bo.setAttrValue(7, nullptr, kString)) << "no write outside the slots";
  EXPECT_EQ(0, bo.setAttrValue("Nope", BusinessObject::BlankValue, kString));
  agent.clearRecords();
  EXPECT_EQ(nullptr, bo.getAttrValue(9));
  expectMessage(agent, 73, KyMsgFormat::MLV_FATAL, "9,Unknown");
  agent.clearRecords();
  EXPECT_EQ(nullptr, bo.getAttrValue(-1));
  expectMessage(agent, 73, KyMsgFormat::MLV_FATAL, "-1,Unknown");
}

TEST_F(BusinessObjectTest, ChildrenAppendToContainersAndReplaceSingleSlots) {
  BusinessObject bo("Customer");
  BusinessObject* p1 = make("Phone", nullptr, {"555"});
  BusinessObject* p2 = make("Phone", nullptr, {"556"});
  ASSERT_EQ(1, bo.setAttrValue("Phones", p1, kObject));
  ASSERT_EQ(1, bo.setAttrValue("Phones", p2, kObject));
  BusObjContainer* phones = static_cast<BusObjContainer*>(bo.getAttrValue(2));
  ASSERT_NE(nullptr, phones);
  EXPECT_EQ("555:<none> 556:<none>", children(phones));
  EXPECT_EQ(&bo, p1->getParent());
  EXPECT_EQ(bo.getAttrDesc(2)->getTypeName(), std::string(phones->getTheSpec()->getName()));
  EXPECT_FALSE(bo.isBlank(2)) << "object attributes are never blank";

  BusinessObject* first = make("Person", nullptr, {"P1"});
  BusinessObject* second = make("Person", nullptr, {"P2"});
  ASSERT_EQ(1, bo.setAttrValue(3, first, kObject));
  ASSERT_EQ(1, bo.setAttrValue(3, second, kObject));
  EXPECT_EQ(second, bo.getAttrValue(3));
  EXPECT_STREQ("P1", static_cast<char*>(first->getAttrValue(0)))
      << "the replaced child is left to its holder";
  delete first;

  void* text40 = bo.makeNewAttrObject("Name");
  ASSERT_NE(nullptr, text40);
  std::memset(text40, 'x', 40);  // maximum length 40 plus the terminator fit
  static_cast<char*>(text40)[40] = '\0';
  std::free(text40);
  BusinessObject* made = static_cast<BusinessObject*>(bo.makeNewAttrObject(2));
  ASSERT_NE(nullptr, made);
  EXPECT_STREQ("Phone", made->getName());
  delete made;
  EXPECT_EQ(nullptr, bo.makeNewAttrObject("Nope"));

  bo.freeValue(2);
  EXPECT_TRUE(bo.isIgnore(2));
}

// What the connector reference promises about ownership: a refused set takes nothing, so the
// caller still owns the child it offered; ignoring or blanking a child's slot releases the child.
// (Double frees and leaks here are caught by the sanitizer runs.)
TEST_F(BusinessObjectTest, ARefusedSetTakesNothingAndTheCallerKeepsTheChild) {
  BusinessObject bo("Customer");
  BusinessObject* phone = make("Phone", nullptr, {"555"});
  EXPECT_EQ(VyResults::ATTR_REFUSED, bo.setAttrValue("NoSuchAttribute", phone, kObject));
  EXPECT_EQ(VyResults::ATTR_REFUSED, bo.setAttrValue(2, phone, kString));  // not its type
  EXPECT_EQ(VyResults::ATTR_REFUSED, bo.setAttrValue(99, phone, kObject));
  EXPECT_EQ(nullptr, phone->getParent()) << "a refused child is not adopted";
  EXPECT_TRUE(bo.isIgnore(2));
  EXPECT_FALSE(agent.messagesNumbered(72).empty());
  EXPECT_FALSE(agent.messagesNumbered(73).empty());
  delete phone;  // still the caller's

  BusinessObject* person = make("Person", nullptr, {"P1"});
  ASSERT_EQ(VyResults::ATTR_STORED, bo.setAttrValue(3, person, kObject));
  // The ignore marker over a child releases it: the object owned it.
  EXPECT_EQ(VyResults::ATTR_STORED, bo.setAttrValue(3, nullptr, kObject));
  EXPECT_TRUE(bo.isIgnore(3));
  BusinessObject* other = make("Person", nullptr, {"P2"});
  ASSERT_EQ(VyResults::ATTR_STORED, bo.setAttrValue(3, other, kObject));
  EXPECT_EQ(VyResults::ATTR_STORED, bo.setAttrValue(3, BusinessObject::getBlankValue(), kString));
  EXPECT_TRUE(bo.isIgnore("NoSuchAttribute"));
}

TEST_F(BusinessObjectTest, UnsupportedVerbIsRefusedWithMessage62) {
  BusinessObject bo("Plain");
  bo.setVerb("Retrieve");
  bo.setVerb("Create");
  EXPECT_STREQ("Retrieve", bo.getVerb());
  expectMessage(agent, 62, KyMsgFormat::MLV_ERROR, "Create,Plain");
  bo.setVerb(nullptr);
  EXPECT_EQ(nullptr, bo.getVerb());
  bo.setAppVerb("app");
  EXPECT_STREQ("app", bo.getAppVerb());
}

// ---- readable picture ----

TEST_F(BusinessObjectTest, DumpWritesThePictureOrRefusesWhatDoesNotFit) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Update", {"17", ""}));
  bo->setDelta(1);
  bo->setAttrValue(2, make("Phone", "Create", {"555"}), kObject);
  EXPECT_EQ(0, bo->dump(nullptr, 100));
  std::vector<char> buf(2048);
  int n = bo->dump(buf.data(), static_cast<int>(buf.size()));
  ASSERT_GT(n, 0);
  std::string picture(buf.data());
  EXPECT_EQ(static_cast<size_t>(n), picture.size());
  const std::string header =
      "\nBusiness Object Dump\nName: Customer\nVerb: Update\nLocale: en_US\nType: Delta\n";
  EXPECT_EQ(0u, picture.find(header + "\nAttr 0: Id = 17\nAttr 1: Name = -- Blank --"));
  EXPECT_NE(std::string::npos, picture.find("Type: AfterImage\n\nAttr 0: Number = 555"));

  // Room for the header but not for the first attribute line.
  std::vector<char> small(header.size() + 5);
  EXPECT_EQ(-1, bo->dump(small.data(), static_cast<int>(small.size())));
  EXPECT_EQ(-1, bo->dump(small.data(), static_cast<int>(header.size())));
  // A value far longer than any buffer is refused, never overflowed.
  std::string huge(100000, 'v');
  bo->setAttrValue(1, huge.c_str(), kString);
  EXPECT_EQ(-1, bo->dump(buf.data(), static_cast<int>(buf.size())));
  EXPECT_LT(std::strlen(buf.data()), buf.size());
}

// ---- copies and comparisons ----

TEST_F(BusinessObjectTest, CloneIsAnIndependentCopyOfTheWholeTree) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Update", {"17", nullptr}));
  bo->setAttrValue(1, BusinessObject::BlankValue, kString);
  bo->setDelta(1);
  bo->setContext(bo.get());
  BusinessObject* p = make("Phone", "Create", {"555"});
  p->setDelta(1);
  bo->setAttrValue(2, p, kObject);
  static_cast<BusObjContainer*>(bo->getAttrValue(2))->setDelta(1);
  bo->setAttrValue(3, make("Person", "Delete", {"P1"}), kObject);

  std::unique_ptr<BusinessObject> copy(bo->clone());
  EXPECT_STREQ("Update", copy->getVerb());
  EXPECT_EQ(1u, copy->isDelta());
  EXPECT_EQ(nullptr, copy->getContext());
  EXPECT_EQ(0, copy->equalsContent(bo.get()));
  EXPECT_EQ(BusinessObject::BlankValue, copy->getAttrValue(1));
  BusObjContainer* phones = static_cast<BusObjContainer*>(copy->getAttrValue(2));
  ASSERT_NE(bo->getAttrValue(2), phones);
  EXPECT_EQ(1u, phones->isDelta());
  EXPECT_EQ(1u, phones->getObject(0)->isDelta());
  EXPECT_EQ(copy.get(), phones->getObject(0)->getParent());
  EXPECT_STREQ("Create", phones->getObject(0)->getVerb());
  BusinessObject* owner = static_cast<BusinessObject*>(copy->getAttrValue(3));
  EXPECT_NE(bo->getAttrValue(3), owner);
  EXPECT_EQ(copy.get(), owner->getParent());
  EXPECT_STREQ("Delete", owner->getVerb());

  // Changing the copy leaves the source alone.
  phones->getObject(0)->setAttrValue(0, "999", kString);
  copy->setAttrValue(0, "18", kString);
  EXPECT_EQ(
      "555",
      text(static_cast<BusObjContainer*>(bo->getAttrValue(2))->getObject(0)->getAttrValue(0)));
  EXPECT_EQ("17", text(bo->getAttrValue(0)));

  // A container without objects gives none in the clone.
  static_cast<BusObjContainer*>(bo->getAttrValue(2))->removeAllObjects();
  std::unique_ptr<BusinessObject> again(bo->clone());
  EXPECT_TRUE(again->isIgnore(2));

  // A verb read as the text "null" is no verb in the clone.
  std::unique_ptr<StringMessage> msg(bo->toStringMessageParentAndKeys());
  BusinessObject read(*msg);
  ASSERT_STREQ("Update", read.getVerb());
  bo->setVerb(nullptr);
  std::unique_ptr<StringMessage> nullVerb(bo->toStringMessageParentAndKeys());
  BusinessObject readNull(*nullVerb);
  ASSERT_STREQ("null", readNull.getVerb());
  EXPECT_EQ(nullptr, std::unique_ptr<BusinessObject>(readNull.clone())->getVerb());
}

TEST_F(BusinessObjectTest, CopyReplacesChildrenAndKeepsWhatTheSourceLeavesEmpty) {
  std::unique_ptr<BusinessObject> source(make("Customer", "Update", {"17", nullptr}));
  source->setAttrValue(2, make("Phone", nullptr, {"1"}), kObject);
  source->setAttrValue(2, make("Phone", nullptr, {"2"}), kObject);
  source->setAttrValue(3, make("Person", nullptr, {"P9"}), kObject);
  static_cast<BusObjContainer*>(source->getAttrValue(2))->setDelta(1);
  source->setDelta(1);

  std::unique_ptr<BusinessObject> target(make("Customer", "Create", {"1", "keep"}));
  target->setAttrValue(2, make("Phone", nullptr, {"old"}), kObject);
  target->setAttrValue(3, make("Person", nullptr, {"P0"}), kObject);
  EXPECT_EQ(1, source->copy(*target));
  EXPECT_EQ(1u, target->isDelta());
  EXPECT_EQ("17", text(target->getAttrValue(0)));
  EXPECT_EQ("keep", text(target->getAttrValue(1))) << "an ignored source slot keeps the target's";
  BusObjContainer* phones = static_cast<BusObjContainer*>(target->getAttrValue(2));
  EXPECT_EQ("1:<none> 2:<none>", children(phones));
  EXPECT_EQ(0u, phones->isDelta()) << "flags below the top are not copied";
  EXPECT_EQ(target.get(), phones->getObject(1)->getParent());
  BusinessObject* owner = static_cast<BusinessObject*>(target->getAttrValue(3));
  EXPECT_EQ("P9", text(owner->getAttrValue(0)));
  EXPECT_EQ(target.get(), owner->getParent());
  EXPECT_STREQ("Create", target->getVerb()) << "copy leaves the target's verb";

  // Copying an object's own values into itself is safe.
  target->setAttrValues(target->getAttrValues());
  EXPECT_EQ("1:<none> 2:<none>", children(static_cast<BusObjContainer*>(target->getAttrValue(2))));
  EXPECT_EQ("P9", text(static_cast<BusinessObject*>(target->getAttrValue(3))->getAttrValue(0)));
}

TEST_F(BusinessObjectTest, ContentAndKeyComparisons) {
  std::unique_ptr<BusinessObject> a(make("Order", nullptr, {"1", "note"}));
  std::unique_ptr<BusinessObject> b(make("Order", nullptr, {"1", "note"}));
  EXPECT_EQ(0, a->equalsContent(b.get()));
  EXPECT_EQ(-1, a->equalsContent(nullptr));
  b->setAttrValue(4, "event-id", kString);
  EXPECT_EQ(0, a->equalsContent(b.get())) << "the last attribute is not compared";
  b->setAttrValue(1, nullptr, kString);
  EXPECT_EQ(0, a->equalsContent(b.get())) << "a value missing on one side counts as equal";
  b->setAttrValue(1, "other", kString);
  EXPECT_EQ(-1, a->equalsContent(b.get()));
  EXPECT_EQ(1, a->equalPKeys(b.get())) << "only keys count";
  b->setAttrValue(1, "note", kString);

  a->setAttrValue(2, make("Line", nullptr, {"1", "5"}), kObject);
  b->setAttrValue(2, make("Line", nullptr, {"1", "6"}), kObject);
  EXPECT_EQ(-1, a->equalsContent(b.get())) << "children are compared";
  a->setAttrValue(3, make("Line", nullptr, {"9"}), kObject);
  b->setAttrValue(3, make("Line", nullptr, {"8"}), kObject);
  static_cast<BusinessObject*>(b->getAttrValue(3))->setAttrValue(0, "9", kString);
  static_cast<BusObjContainer*>(b->getAttrValue(2))->getObject(0)->setAttrValue(1, "5", kInteger);
  EXPECT_EQ(0, a->equalsContent(b.get()));

  EXPECT_EQ(0, a->equalPKeys(nullptr));
  b->setAttrValue(0, "2", kString);
  EXPECT_EQ(0, a->equalPKeys(b.get()));
  b->setAttrValue(0, nullptr, kString);
  EXPECT_EQ(0, a->equalPKeys(b.get())) << "a missing key never matches";
  std::unique_ptr<BusinessObject> p1(make("Plain", nullptr, {"x"}));
  std::unique_ptr<BusinessObject> p2(make("Plain", nullptr, {"y"}));
  EXPECT_EQ(1, p1->equalPKeys(p2.get())) << "no keys: equal";
}

// ---- defaults, test trees, validation ----

TEST_F(BusinessObjectTest, DefaultsFillContainersAndSimpleValues) {
  std::unique_ptr<BusinessObject> order(make("Order", nullptr, {"1"}));
  order->setAttrValue(3, make("Line", nullptr, {"7", "99"}), kObject);
  order->setDefaultAttrValues();
  BusObjContainer* lines = static_cast<BusObjContainer*>(order->getAttrValue(2));
  ASSERT_NE(nullptr, lines) << "a container is made for the multiple attribute";
  EXPECT_EQ(0, lines->getObjectCount());
  EXPECT_STREQ("Line", lines->getTheSpec()->getName());
  EXPECT_EQ("1", text(static_cast<BusinessObject*>(order->getAttrValue(3))->getAttrValue(1)))
      << "a default replaces what the slot held";
  EXPECT_TRUE(order->isIgnore(1)) << "no default, no value";
}

TEST_F(BusinessObjectTest, TestTreesAreBuiltOnlyForCreateAndStayFinite) {
  std::unique_ptr<BusinessObject> update(make("Order", "Update"));
  update->setDefaultAttrValues(3, 0);
  for (int i = 0; i < update->getAttrCount(); ++i) EXPECT_TRUE(update->isIgnore(i));

  std::unique_ptr<BusinessObject> order(make("Order", "Create"));
  order->setDefaultAttrValues(3, 1);
  BusObjContainer* lines = static_cast<BusObjContainer*>(order->getAttrValue(2));
  ASSERT_NE(nullptr, lines);
  ASSERT_EQ(3, lines->getObjectCount());
  BusinessObject* line = lines->getObject(2);
  EXPECT_STREQ("Create", line->getVerb());
  EXPECT_EQ(order.get(), line->getParent());
  EXPECT_EQ("1", text(line->getAttrValue(1)));
  std::string key = text(line->getAttrValue(0));
  EXPECT_FALSE(key.empty());
  EXPECT_EQ(std::string::npos, key.find_first_not_of("0123456789"));
  EXPECT_NE(nullptr, order->getAttrValue(3));
  EXPECT_NE(nullptr, order->getAttrValue(0)) << "keys are random numbers";

  // A recursive type gets no children of its own type: the tree stays finite.
  std::unique_ptr<BusinessObject> node(make("Node", "Create"));
  node->setDefaultAttrValues(2, 0);
  EXPECT_NE(nullptr, node->getAttrValue(0));
  EXPECT_TRUE(node->isIgnore(1));
  EXPECT_TRUE(node->isIgnore(2));

  std::string before = text(line->getAttrValue(0));
  std::string top = text(order->getAttrValue(0));
  for (int tries = 0; tries < 5 && text(order->getAttrValue(0)) == top; ++tries) {
    order->updateRandomizedKeyValues();
  }
  EXPECT_NE(top, text(order->getAttrValue(0)));
  std::unique_ptr<BusinessObject> retrieve(make("Order", "Retrieve", {"same"}));
  retrieve->updateRandomizedKeyValues();
  EXPECT_EQ("same", text(retrieve->getAttrValue(0)));
}

TEST_F(BusinessObjectTest, ValidationFillsDefaultsOrReports17205And17206) {
  std::unique_ptr<BusinessObject> ok(make("Checked", nullptr, {"1", nullptr, "given"}));
  EXPECT_EQ(1, ok->initAndValidateAttributes());
  EXPECT_EQ("dflt", text(ok->getAttrValue(1)));
  EXPECT_TRUE(ok->isIgnore(3)) << "optional attributes stay ignored";
  EXPECT_TRUE(ok->isIgnore(4)) << "the last attribute is not checked";

  std::unique_ptr<BusinessObject> noDefault(make("Checked", nullptr, {"1"}));
  EXPECT_EQ(0, noDefault->initAndValidateAttributes());
  expectMessage(agent, 17206, KyMsgFormat::MLV_ERROR, "Checked,NoDefault");

  agent.clearRecords();
  vytest::NativeAgent::setProperty("UseDefaults", "FALSE");
  std::unique_ptr<BusinessObject> off(make("Checked", nullptr, {"1"}));
  EXPECT_EQ(0, off->initAndValidateAttributes());
  expectMessage(agent, 17205, KyMsgFormat::MLV_ERROR, "Checked,WithDefault");
  EXPECT_TRUE(off->isIgnore(1));
}

// ---- event ids ----

TEST_F(BusinessObjectTest, EventIdsAreMadeTopDownAndChildIdsStartWithTheParents) {
  vytest::NativeAgent::setProperty("ConnectorName", "Conn");
  std::unique_ptr<BusinessObject> order(make("Order", "Create", {"1"}));
  for (const char* no : {"a", "b", "c"})
    order->setAttrValue(2, make("Line", nullptr, {no}), kObject);
  order->setAttrValue(3, make("Line", nullptr, {"x"}), kObject);
  BusObjContainer* lines = static_cast<BusObjContainer*>(order->getAttrValue(2));
  lines->getObject(1)->setAttrValue(2, "kept", kString);
  order->setObjectEventIds();

  std::string top = text(order->getAttrValue(4));
  EXPECT_EQ(0u, top.find("Conn_")) << top;
  std::string third = text(lines->getObject(2)->getAttrValue(2));
  EXPECT_EQ(0u, third.find(top + "_2_")) << third;
  EXPECT_EQ("kept", text(lines->getObject(1)->getAttrValue(2))) << "an id present is kept";
  std::string extra = text(static_cast<BusinessObject*>(order->getAttrValue(3))->getAttrValue(2));
  EXPECT_EQ(0u, extra.find(top + "_0_")) << extra;
  EXPECT_NE(text(lines->getObject(0)->getAttrValue(2)), third) << "ids are distinct";

  // A long connector name and a type without the attribute are handled quietly.
  std::string longName(1000, 'n');
  vytest::NativeAgent::setProperty("ConnectorName", longName.c_str());
  std::unique_ptr<BusinessObject> fresh(make("Order", "Create", {"2"}));
  fresh->setObjectEventIds();
  std::string id = text(fresh->getAttrValue(4));
  EXPECT_EQ(0u, id.find(std::string(255, 'n') + "_")) << "the name is cut to 255 characters";
  std::unique_ptr<BusinessObject> plain(make("Plain", nullptr));
  plain->setObjectEventIds();
  EXPECT_TRUE(agent.messages().empty());
}

TEST_F(BusinessObjectTest, EventIdsOnSeveralThreadsAtOnce) {
  vytest::NativeAgent::setProperty("ConnectorName", "Threaded");
  std::vector<std::thread> threads;
  std::vector<std::string> ids(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ids] {
      for (int n = 0; n < 200; ++n) {
        std::unique_ptr<BusinessObject> bo(make("Order", "Create", {"1"}));
        bo->setAttrValue(2, make("Line", nullptr, {"a"}), kObject);
        bo->setObjectEventIds();
        ids[t] =
            text(static_cast<BusObjContainer*>(bo->getAttrValue(2))->getObject(0)->getAttrValue(2));
        if (ids[t].rfind("Threaded_", 0) != 0) return;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (const std::string& id : ids) EXPECT_EQ(0u, id.rfind("Threaded_", 0)) << id;
}

// ---- the handler call ----

TEST_F(BusinessObjectTest, DoVerbForCallsTheHandlerAndHandsOnTheFirstFatalMessage) {
  vyTestConnectorReset();
  vytest::NativeAgent::setProperty("Test.Verb.Result", "-5");
  std::unique_ptr<BusinessObject> bo(make("Order", "Create", {"1"}));
  ReturnStatusDescriptor status;
  EXPECT_EQ(-5, bo->doVerbFor(&status));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kVerb));
  EXPECT_EQ(nullptr, status.getErrorMsg());

  // A delta Update for a type the agent does not handle as deltas goes through retrieve and
  // update; a failed retrieve logs 17115 as a fatal first message, which reaches the status.
  vytest::NativeAgent::setProperty("Test.Verb.Result", "-1");
  vyTestConnectorReset();
  bo->setVerb("Update");
  bo->setDelta(1);
  ReturnStatusDescriptor failed;
  EXPECT_EQ(-1, bo->doVerbFor(&failed));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kVerb)) << "only the retrieve ran";
  ASSERT_NE(nullptr, failed.getErrorMsg());
  EXPECT_NE(nullptr, std::strstr(failed.getErrorMsg(), "17115")) << failed.getErrorMsg();
  EXPECT_EQ(nullptr, JToCPPVeneer::getfatalErrorFirstMessage()) << "moved to the status";

  // With delta support the handler gets the delta itself.
  vytest::NativeAgent::setDeltaSupport("Order", "true");
  vytest::NativeAgent::setProperty("Test.Verb.Result", "1");
  vyTestConnectorReset();
  ReturnStatusDescriptor direct;
  EXPECT_EQ(1, bo->doVerbFor(&direct));
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kVerb));
  EXPECT_EQ(1u, bo->isDelta());

  // An error text the handler set is not overwritten.
  vytest::NativeAgent::setProperty("Test.Verb.Error", "handler text");
  ReturnStatusDescriptor own;
  bo->doVerbFor(&own);
  EXPECT_STREQ("handler text", own.getErrorMsg());
}

// ---- wire layout ----

// The Customer of the documented example: a delta Update, Id 17, blank Name, phones 555 and 556
// to create, no owner.
BusinessObject* exampleCustomer() {
  BusinessObject* bo = make("Customer", "Update", {"17"});
  bo->setDelta(1);
  bo->setAttrValue(1, BusinessObject::BlankValue, kString);
  bo->setAttrValue(2, make("Phone", "Create", {"555"}), kObject);
  bo->setAttrValue(2, make("Phone", "Create", {"556"}), kObject);
  return bo;
}

// The head of an object in a message: its type, delta flag and verb, in the locale en_US, with
// `attrs` attribute values following.
std::vector<std::string> objectHead(const char* type, const char* delta, const char* verb,
                                    const char* attrs) {
  return {"BusinessObject", "4.2.0.0", type, "1.0.0", delta, verb, "en_US", attrs};
}

// The example field for field: the Customer head, Id, Name, the count of phones and the delta flag
// of their container, each phone (head and Id), and no owner.
const std::vector<std::string> kExampleFields = [] {
  std::vector<std::string> f = objectHead("Customer", "true", "Update", "4");
  f.insert(f.end(), {"17", "KyBlank", "2", "false"});
  for (const char* id : {"555", "556"}) {
    std::vector<std::string> phone = objectHead("Phone", "false", "Create", "1");
    f.insert(f.end(), phone.begin(), phone.end());
    f.push_back(id);
  }
  f.push_back("0");
  return f;
}();

TEST_F(BusinessObjectTest, TheDocumentedExampleIsWrittenFieldForFieldAndReadBack) {
  std::unique_ptr<BusinessObject> bo(exampleCustomer());
  std::unique_ptr<StringMessage> msg(bo->toStringMessage());
  EXPECT_EQ(kExampleFields, tokens(*msg));
  EXPECT_EQ(vytest::wire(kExampleFields), units(*msg)) << "length prefixes and delimiters";

  std::unique_ptr<BusinessObject> back(new BusinessObject(*msg));
  ASSERT_NE(nullptr, back->getTheSpec()) << back->getReadError();
  EXPECT_EQ(nullptr, back->getReadError());
  EXPECT_FALSE(msg->hasMoreTokens());
  EXPECT_EQ(1u, back->isDelta());
  EXPECT_STREQ("Update", back->getVerb());
  EXPECT_EQ(BusinessObject::BlankValue, back->getAttrValue(1));
  EXPECT_TRUE(back->isIgnore(3));
  BusObjContainer* phones = static_cast<BusObjContainer*>(back->getAttrValue(2));
  EXPECT_EQ("555:Create 556:Create", children(phones));
  EXPECT_EQ(0u, phones->isDelta());
  EXPECT_EQ(back.get(), phones->getObject(1)->getParent());
  EXPECT_STREQ("Phone", phones->getTheSpec()->getName());
  EXPECT_EQ(0, back->equalsContent(bo.get()));
  std::unique_ptr<StringMessage> again(back->toStringMessage());
  EXPECT_EQ(units(*msg), units(*again));
}

TEST_F(BusinessObjectTest, EmptyContainersSingleChildrenAndObjectBlanksRoundTrip) {
  std::unique_ptr<BusinessObject> bo(make("Customer", "Create", {"1"}));
  bo->setAttrValue(2, make("Phone", nullptr, {"x"}), kObject);
  static_cast<BusObjContainer*>(bo->getAttrValue(2))->removeAllObjects();
  bo->setAttrValue(3, make("Person", "Create", {"P1", ""}), kObject);
  std::unique_ptr<StringMessage> msg(bo->toStringMessage());
  std::vector<std::string> fields = tokens(*msg);
  ASSERT_GT(fields.size(), 12u);
  EXPECT_EQ("0", fields[10]) << "an empty container is written 0";
  EXPECT_EQ("1", fields[11]) << "a single child is announced by 1";
  EXPECT_EQ("KyBlank", fields[fields.size() - 2]) << "the owner's empty name";

  std::unique_ptr<BusinessObject> back(new BusinessObject(*msg));
  ASSERT_NE(nullptr, back->getTheSpec()) << back->getReadError();
  EXPECT_TRUE(back->isIgnore(2)) << "read back as an empty slot, not an empty container";
  BusinessObject* owner = static_cast<BusinessObject*>(back->getAttrValue(3));
  ASSERT_NE(nullptr, owner);
  EXPECT_EQ(back.get(), owner->getParent());
  EXPECT_TRUE(owner->isBlank(1));

  // "KyBlank" for an object attribute is kept as the blank marker and written back.
  std::vector<std::string> blankOwner = {
      "BusinessObject", "4.2.0.0", "Customer", "1.0.0",    "false", "Create",
      "en_US",          "4",       "1",        "KyIgnore", "0",     "KyBlank"};
  StringMessage in(reinterpret_cast<const unsigned short*>(vytest::wire(blankOwner).c_str()));
  BusinessObject withBlank(in);
  ASSERT_NE(nullptr, withBlank.getTheSpec()) << withBlank.getReadError();
  EXPECT_EQ(BusinessObject::BlankValue, withBlank.getAttrValue(3));
  std::unique_ptr<BusinessObject> blankClone(withBlank.clone());
  std::unique_ptr<StringMessage> out(blankClone->toStringMessage());
  EXPECT_EQ(blankOwner, tokens(*out));
}

TEST_F(BusinessObjectTest, AFifthFieldThatIsNoFlagIsTheVerbAndContainersCarryNoFlag) {
  std::vector<std::string> fields = {"BusinessObject", "4.2.0.0", "Customer", "1.0.0",    "Update",
                                     "en_US",          "4",       "17",       "KyIgnore", "1",
                                     "BusinessObject", "4.2.0.0", "Phone",    "1.0.0",    "Create",
                                     "en_US",          "1",       "555",      "0"};
  StringMessage msg(reinterpret_cast<const unsigned short*>(vytest::wire(fields).c_str()));
  BusinessObject bo(msg);
  ASSERT_NE(nullptr, bo.getTheSpec()) << bo.getReadError();
  EXPECT_STREQ("Update", bo.getVerb());
  EXPECT_EQ(0u, bo.isDelta());
  EXPECT_EQ("555:Create", children(static_cast<BusObjContainer*>(bo.getAttrValue(2))));
  EXPECT_FALSE(msg.hasMoreTokens());

  // A verb written "null" is held as that text.
  fields[4] = "null";
  StringMessage nullVerb(reinterpret_cast<const unsigned short*>(vytest::wire(fields).c_str()));
  BusinessObject held(nullVerb);
  EXPECT_STREQ("null", held.getVerb());
}

TEST_F(BusinessObjectTest, ParentAndKeysCarriesOnlyKeysAndReadsBackAsAfterImage) {
  std::unique_ptr<BusinessObject> bo(exampleCustomer());
  std::unique_ptr<BusinessObject> noName(make("Customer", nullptr, {"18", "Smith"}));
  std::unique_ptr<StringMessage> msg(bo->toStringMessageParentAndKeys());
  EXPECT_EQ((std::vector<std::string>{"BusinessObject", "4.2.0.0", "Customer", "1.0.0", "Update",
                                      "en_US", "4", "17", "KyBlank", "0", "0"}),
            tokens(*msg));
  std::unique_ptr<StringMessage> other(noName->toStringMessageParentAndKeys());
  std::unique_ptr<BusinessObject> back(new BusinessObject(*other));
  ASSERT_NE(nullptr, back->getTheSpec()) << back->getReadError();
  EXPECT_EQ(0u, back->isDelta());
  EXPECT_STREQ("null", back->getVerb());
  EXPECT_EQ("18", text(back->getAttrValue(0)));
  EXPECT_TRUE(back->isIgnore(1));
  EXPECT_TRUE(back->isIgnore(2));
}

// ---- malformed input ----

std::unique_ptr<BusinessObject> readUnits(const std::u16string& text) {
  StringMessage msg(reinterpret_cast<const unsigned short*>(text.c_str()));
  return std::make_unique<BusinessObject>(msg);
}

std::unique_ptr<BusinessObject> readFields(const std::vector<std::string>& fields) {
  return readUnits(vytest::wire(fields));
}

TEST_F(BusinessObjectTest, MalformedMessagesAreRefusedWithAReason) {
  // Every truncation of a good message is refused; none reads past the end.
  for (size_t n = 0; n < kExampleFields.size(); ++n) {
    std::vector<std::string> cut(kExampleFields.begin(), kExampleFields.begin() + n);
    std::unique_ptr<BusinessObject> bo = readFields(cut);
    EXPECT_EQ(nullptr, bo->getTheSpec()) << n << " fields";
    EXPECT_NE(nullptr, bo->getReadError()) << n << " fields";
  }
  // A text cut inside a field.
  std::u16string whole = vytest::wire(kExampleFields);
  EXPECT_EQ(nullptr, readUnits(whole.substr(0, whole.size() - 2))->getTheSpec());

  // One field of the example changed: the text is refused with a reason, which names `named`
  // where given; where the type cannot be used, the agent was sent message 64 naming it.
  const struct {
    size_t field;
    const char* value;
    const char* why;
    const char* named;
    const char* message64;
  } kChanged[] = {
      {10, "2147483647", "a child count far beyond what follows", nullptr, nullptr},
      {0, "BusObjSpec", "wrong kind marker", "BusObjSpec", nullptr},
      {7, "four", "non-numeric attribute count", nullptr, nullptr},
      {10, "two", "non-numeric child count", nullptr, nullptr},
      {10, "99999999999", "child count beyond int", nullptr, nullptr},
      {19, "2", "a child's attribute count that does not match its spec", nullptr, nullptr},
      {7, "5", "attribute count that does not match the spec", nullptr, "1.0.0,Customer"},
      {2, "Stranger", "unknown type", "Stranger", "1.0.0,Stranger"},
  };
  for (const auto& c : kChanged) {
    SCOPED_TRACE(c.why);
    agent.clearRecords();
    std::vector<std::string> changed = kExampleFields;
    changed[c.field] = c.value;
    std::unique_ptr<BusinessObject> bo = readFields(changed);
    EXPECT_EQ(nullptr, bo->getTheSpec());
    ASSERT_NE(nullptr, bo->getReadError());
    if (c.named != nullptr) EXPECT_NE(nullptr, std::strstr(bo->getReadError(), c.named));
    if (c.message64 != nullptr) expectMessage(agent, 64, KyMsgFormat::MLV_ERROR, c.message64);
  }

  // A negative child count is an empty slot, as is 0.
  std::vector<std::string> f = kExampleFields;
  f.resize(10);
  f.insert(f.end(), {"-3", "0"});
  std::unique_ptr<BusinessObject> bo = readFields(f);
  ASSERT_NE(nullptr, bo->getTheSpec()) << bo->getReadError();
  EXPECT_TRUE(bo->isIgnore(2));
}

// A chain of Node objects `depth` levels below the top, each the next one's single child.
std::u16string nestedNodes(int depth) {
  std::vector<std::string> fields;
  fields.reserve(static_cast<size_t>(depth + 1) * 12);
  for (int level = 0; level <= depth; ++level) {
    fields.insert(fields.end(), {"BusinessObject", "4.2.0.0", "Node", "1.0.0", "false", "Create",
                                 "en_US", "4", std::to_string(level), "0"});
    fields.push_back(level < depth ? "1" : "0");
  }
  // Each object's last attribute follows its child's message.
  for (int level = 0; level <= depth; ++level) fields.push_back("KyIgnore");
  return vytest::wire(fields);
}

TEST_F(BusinessObjectTest, DeepNestingIsBoundedAndDeepTreesAreReleasedSafely) {
  std::unique_ptr<BusinessObject> ok = readUnits(nestedNodes(300));
  ASSERT_NE(nullptr, ok->getTheSpec()) << ok->getReadError();
  int depth = 0;
  for (BusinessObject* n = ok.get(); n != nullptr;
       n = static_cast<BusinessObject*>(n->getAttrValue(2))) {
    ++depth;
  }
  EXPECT_EQ(301, depth);

  std::unique_ptr<BusinessObject> deep = readUnits(nestedNodes(10000));
  EXPECT_EQ(nullptr, deep->getTheSpec());
  ASSERT_NE(nullptr, deep->getReadError());
  EXPECT_NE(std::string::npos, std::string(deep->getReadError()).find("deep"));

  // A tree built by connector code may be far deeper: deleting it stays flat.
  BusinessObject* top = make("Node", "Create", {"0"});
  BusinessObject* at = top;
  for (int level = 1; level < 300000; ++level) {
    BusinessObject* next = make("Node", nullptr);
    at->setAttrValue(2, next, kObject);
    at = next;
  }
  delete top;

  // Writing is flat too; what is written deeper than the reader's bound is refused.
  top = make("Node", "Create", {"0"});
  at = top;
  for (int level = 1; level < 3000; ++level) {
    BusinessObject* next = make("Node", nullptr);
    at->setAttrValue(1, next, kObject);
    at = next;
  }
  std::unique_ptr<StringMessage> msg(top->toStringMessage());
  delete top;
  std::unique_ptr<BusinessObject> refused(new BusinessObject(*msg));
  EXPECT_EQ(nullptr, refused->getTheSpec());
}

}  // namespace
