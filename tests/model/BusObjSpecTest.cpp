// Specs read from and written to the spec text, and the checks that keep malformed texts out.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjSpec.hpp"
#include "NativeAgent.hpp"
#include "StringMessage.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;
using AttrFields = std::array<std::string, 13>;
using VerbFields = std::pair<std::string, std::string>;

const std::string kEmpty = "\x05";

AttrFields attr(const std::string& name, const std::string& type) {
  return {name,   type,    "false", "false",       "false", kEmpty, "20",
          kEmpty, "1.0.0", "1",     "Containment", "true",  kEmpty};
}

std::unique_ptr<StringMessage> specText(const std::string& name, const std::string& app,
                                        const std::vector<AttrFields>& attrs,
                                        const std::vector<VerbFields>& verbs,
                                        const std::string& attrCount = "",
                                        const std::string& verbCount = "") {
  auto msg = std::make_unique<StringMessage>();
  msg->appendField("BusObjSpec");
  msg->appendField("4.2.0.0");
  msg->appendField(name.c_str());
  msg->appendField("1.2.3");
  msg->appendField(app.c_str());
  msg->appendField(attrCount.empty() ? std::to_string(attrs.size()).c_str() : attrCount.c_str());
  msg->appendField(verbCount.empty() ? std::to_string(verbs.size()).c_str() : verbCount.c_str());
  for (const AttrFields& a : attrs)
    for (const std::string& f : a) msg->appendField(f.c_str());
  for (const VerbFields& v : verbs) {
    msg->appendField(v.first.c_str());
    msg->appendField(v.second.c_str());
  }
  return msg;
}

std::unique_ptr<BusObjSpec> parse(StringMessage& msg) {
  msg.initTokenizer();
  return std::make_unique<BusObjSpec>(msg);
}

std::u16string units(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

std::vector<std::string> verbOrder(const BusObjSpec& spec) {
  std::vector<std::string> out;
  const PtrSet<charStr>& set = spec.getVerbsListSet();
  for (unsigned int i = 0; i < set.capacity(); ++i)
    if (set.slotAt(i) != nullptr)
      out.emplace_back(PtrSet<charStr>::pointerOf(set.slotAt(i))->getVerb());
  return out;
}

TEST(BusObjSpecTest, AttributeFieldsAreReadAsTheConnectorSeesThem) {
  Agent agent;
  agent.init();
  AttrFields id = {"Id", "String", "true", "false",       "true",  "key app", "0",
                   "17", "2.0.1",  "null", "Containment", "false", "aux"};
  AttrFields phones = {"Phones", "Phone", "false", "true", "false", kEmpty, "abc",
                       kEmpty,   "1.0.0", "n",     "null", "true",  kEmpty};
  AttrFields lower = attr("Lower", "string");
  lower[6] = "40";
  std::unique_ptr<StringMessage> msg =
      specText("Customer", kEmpty, {id, phones, lower}, {{"Create", "c-app"}, {"Delete", kEmpty}});
  std::unique_ptr<BusObjSpec> spec = parse(*msg);
  ASSERT_EQ(nullptr, spec->getParseError());
  EXPECT_STREQ("Customer", spec->getName());
  EXPECT_STREQ("1.2.3", spec->getVersion()->toString());
  EXPECT_STREQ("", spec->getAppText()) << "the empty marker reads as an empty text";
  ASSERT_EQ(3, spec->getAttributeCount());

  BOAttrType* a = spec->getAttribute("Id");
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(BOAttrType::STRING, a->getTypeNum());
  EXPECT_EQ(1, a->isKey());
  EXPECT_EQ(0, a->isForeignKey());
  EXPECT_EQ(1, a->isRequired());
  EXPECT_STREQ("key app", a->getAppText());
  EXPECT_EQ(255, a->getMaxLength()) << "0 stands for 255";
  EXPECT_STREQ("17", a->getDefault());
  EXPECT_STREQ("2.0.1", a->getBOVersion().toString());
  EXPECT_STREQ("", a->getCardinality());
  EXPECT_FALSE(a->isMultipleCard());
  EXPECT_EQ(0, a->getIsRequiredServerBound()) << "a parsed false reaches the attribute";
  EXPECT_STREQ("aux", a->getAuxText());

  BOAttrType* p = spec->getAttribute(1);
  EXPECT_TRUE(p->isObjectType());
  EXPECT_STREQ("Phone", p->getTypeName());
  EXPECT_EQ(255, p->getMaxLength()) << "non-numeric stands for 255";
  EXPECT_EQ(BusinessObject::getBlankValue(), p->getAppText());
  EXPECT_EQ(BusinessObject::getBlankValue(), p->getDefault());
  EXPECT_TRUE(p->isMultipleCard());
  EXPECT_STREQ("null", p->getRelationType()) << "relation type is kept as written";
  EXPECT_EQ(1, p->getIsRequiredServerBound());
  EXPECT_STREQ("", p->getAuxText());

  EXPECT_EQ(0, spec->getAttribute(2)->getTypeNum()) << "type names are case-sensitive";
  EXPECT_EQ(40, spec->getAttribute(2)->getMaxLength());
  EXPECT_EQ(nullptr, spec->getAttribute(3));
  EXPECT_EQ(nullptr, spec->getAttribute(-1));
  EXPECT_EQ(2, spec->getAttributeIndex("Lower"));
  EXPECT_EQ(-1, spec->getAttributeIndex("lower"));

  EXPECT_TRUE(spec->isVerbSupported("Create"));
  EXPECT_TRUE(spec->isVerbSupported(nullptr));
  EXPECT_FALSE(spec->isVerbSupported("create"));
  EXPECT_STREQ("c-app", spec->getVerbAppText("Create"));
  EXPECT_STREQ("", spec->getVerbAppText("Delete"));
  EXPECT_EQ(nullptr, spec->getVerbAppText(nullptr));
  EXPECT_EQ(nullptr, spec->getVerbAppText("Update"));
  EXPECT_EQ(0, spec->equals(spec.get()));
}

TEST(BusObjSpecTest, WrittenSpecsParseBackIdentically) {
  Agent agent;
  agent.init();
  AttrFields odd = {"Odd", "Date",  "true", "true",        "true",  "a\x03pp", "12",
                    "Zü✓", "3.4.5", "N",    "Containment", "false", "x"};
  std::vector<VerbFields> verbs = {
      {"Create", "c"}, {"Retrieve", kEmpty}, {"Update", "u"}, {"Delete", "d"}, {"Exists", kEmpty}};
  std::unique_ptr<StringMessage> msg =
      specText("Order", "order app", {attr("Id", "Integer"), odd, attr("Lines", "Line")}, verbs);
  std::unique_ptr<BusObjSpec> first = parse(*msg);
  ASSERT_EQ(nullptr, first->getParseError());
  std::unique_ptr<StringMessage> written(first->toStringMessage());
  std::unique_ptr<BusObjSpec> second = parse(*written);
  ASSERT_EQ(nullptr, second->getParseError());

  EXPECT_STREQ(first->getName(), second->getName());
  EXPECT_STREQ("order app", second->getAppText());
  EXPECT_STREQ("1.2.3", second->getVersion()->toString());
  ASSERT_EQ(first->getAttributeCount(), second->getAttributeCount());
  for (int i = 0; i < first->getAttributeCount(); ++i) {
    BOAttrType* x = first->getAttribute(i);
    BOAttrType* y = second->getAttribute(i);
    EXPECT_STREQ(x->getName(), y->getName());
    EXPECT_STREQ(x->getTypeName(), y->getTypeName());
    EXPECT_EQ(x->getTypeNum(), y->getTypeNum());
    EXPECT_EQ(x->isKey(), y->isKey());
    EXPECT_EQ(x->isForeignKey(), y->isForeignKey());
    EXPECT_EQ(x->isRequired(), y->isRequired());
    EXPECT_STREQ(x->getAppText(), y->getAppText());
    EXPECT_EQ(x->getMaxLength(), y->getMaxLength());
    EXPECT_STREQ(x->getDefault(), y->getDefault());
    EXPECT_EQ(0, x->getBOVersion().compareTo(y->getBOVersion()));
    EXPECT_STREQ(x->getCardinality(), y->getCardinality());
    EXPECT_STREQ(x->getRelationType(), y->getRelationType());
    EXPECT_EQ(x->getIsRequiredServerBound(), y->getIsRequiredServerBound());
    EXPECT_STREQ(x->getAuxText(), y->getAuxText());
  }
  EXPECT_EQ(0, second->getAttribute(1)->getIsRequiredServerBound());
  EXPECT_STREQ("a\x03pp", second->getAttribute(1)->getAppText());

  // Verbs come out in the set's slot order, and the second writing is the first, unit for unit.
  std::vector<std::string> order = verbOrder(*first);
  ASSERT_EQ(5u, order.size());
  written->initTokenizer();
  for (int i = 0; i < 7 + 3 * 13; ++i) written->nextToken();
  for (const std::string& verb : order) {
    EXPECT_EQ(verb, written->nextToken());
    EXPECT_EQ(std::string(first->getVerbAppText(verb.c_str())).empty()
                  ? kEmpty
                  : first->getVerbAppText(verb.c_str()),
              written->nextToken());
  }
  EXPECT_FALSE(written->hasMoreTokens());
  std::vector<std::string> secondOrder = verbOrder(*second);
  std::sort(order.begin(), order.end());
  std::sort(secondOrder.begin(), secondOrder.end());
  EXPECT_EQ(order, secondOrder);
  for (const VerbFields& v : verbs) {
    EXPECT_STREQ(v.second == kEmpty ? "" : v.second.c_str(),
                 second->getVerbAppText(v.first.c_str()));
  }
}

TEST(BusObjSpecTest, ConnectorBuiltTextsWriteNullsAndNormalisedFlags) {
  Agent agent;
  agent.init();
  std::unique_ptr<StringMessage> msg = specText("Empty", "app", {}, {});
  std::unique_ptr<BusObjSpec> spec = parse(*msg);
  ASSERT_EQ(nullptr, spec->getParseError());
  EXPECT_EQ(0, spec->getAttributeCount());
  agent.setTraceLevel(5);
  agent.clearRecords();
  EXPECT_EQ(nullptr, spec->getAttribute("Any"));
  bool traced = false;
  for (const vytest::TraceLine& t : agent.traces())
    traced = traced || t.msg == "Attempt to get nonexistent attribute detected.";
  EXPECT_TRUE(traced);

  // An attribute list set by connector code: null texts are written "null", flags of any
  // non-zero value as "true".
  BOAttrType* list = new BOAttrType[1];
  list[0].setAttrib("N", 5, nullptr, 2, 0, 0, nullptr, 3, nullptr, nullptr, nullptr, nullptr);
  spec->setAttrList(list);
  spec->setAttrCount(1);
  spec->addVerbsList(new charStr("Create", nullptr));
  std::unique_ptr<StringMessage> written(spec->toStringMessage());
  std::unique_ptr<BusObjSpec> back = parse(*written);
  ASSERT_EQ(nullptr, back->getParseError());
  BOAttrType* n = back->getAttribute(0);
  EXPECT_EQ(1, n->isKey());
  EXPECT_STREQ("null", n->getTypeName());
  EXPECT_STREQ("null", n->getAppText());
  EXPECT_STREQ("0.0.0", n->getBOVersion().toString());
  EXPECT_STREQ("", n->getCardinality());
  EXPECT_STREQ("", back->getVerbAppText("Create"));
}

TEST(BusObjSpecTest, MalformedTextsLeaveAnEmptySpecNamingTheProblem) {
  Agent agent;
  agent.init();
  std::vector<std::unique_ptr<StringMessage>> bad;
  bad.push_back(specText("A", "x", {attr("Id", "String")}, {}, "2"));
  bad.push_back(specText("B", "x", {}, {{"Create", "c"}}, "", "3"));
  bad.push_back(specText("C", "x", {}, {}, "abc"));
  bad.push_back(specText("D", "x", {}, {}, "", "-1"));
  bad.push_back(specText("E", "x", {}, {}, "99999999999999999999"));
  bad.push_back(specText("F", "x", {attr("Id", "String")}, {}, "2000000000", "2000000000"));
  auto cut = std::make_unique<StringMessage>();
  cut->appendField("BusObjSpec");
  cut->appendField("4.2.0.0");
  cut->appendField("G");
  bad.push_back(std::move(cut));
  bad.push_back(std::make_unique<StringMessage>());
  for (auto& msg : bad) {
    std::unique_ptr<BusObjSpec> spec = parse(*msg);
    EXPECT_NE(nullptr, spec->getParseError()) << units(*msg).size();
    EXPECT_EQ(0, spec->getAttributeCount());
    EXPECT_NE(nullptr, spec->getName());
    EXPECT_NE(nullptr, spec->getAppText());
    EXPECT_NE(nullptr, spec->getVersion());
    EXPECT_FALSE(spec->isVerbSupported("Create"));
    std::unique_ptr<StringMessage> written(spec->toStringMessage());
    EXPECT_GT(written->getCurrentUTF16Size(), 0);
  }
}

TEST(BusObjSpecTest, ChangingASpecIsRefusedWithMessage54) {
  Agent agent;
  agent.init();
  std::unique_ptr<StringMessage> msg = specText("Fixed", "x", {attr("Id", "String")}, {});
  std::unique_ptr<BusObjSpec> spec = parse(*msg);
  BOAttrType other;
  char name[] = "Id";
  agent.clearRecords();
  EXPECT_EQ(0, spec->setAttribute(other, 0));
  EXPECT_EQ(0, spec->setAttribute(name, name, 0));
  EXPECT_EQ(1, spec->setAttributeCount(7));
  spec->setAttributeList(other);
  EXPECT_EQ(1, spec->getAttributeCount());
  std::vector<vytest::MsgRequest> sent = agent.messagesNumbered(54);
  ASSERT_EQ(4u, sent.size());
  EXPECT_EQ("BusObjSpec::setAttribute", sent[0].args);
  EXPECT_EQ("BusObjSpec::setAttribute", sent[1].args);
  EXPECT_EQ("BusObjSpec::setAttributeCount", sent[2].args);
  EXPECT_EQ("BusObjSpec::setAttributeList", sent[3].args);
  for (const auto& m : sent) EXPECT_EQ(KyMsgFormat::MLV_FATAL, m.type);
}

// Specs are told apart by name in the directory, never by equals: it answers "not equal" for
// anything, the spec itself included, and reads nothing of what it is given.
TEST(BusObjSpecTest, EqualsAnswersNotEqualForAnything) {
  Agent agent;
  agent.init();
  std::unique_ptr<StringMessage> msg = specText("Same", "x", {attr("Id", "String")}, {});
  std::unique_ptr<BusObjSpec> spec = parse(*msg);
  std::unique_ptr<StringMessage> again = specText("Same", "x", {attr("Id", "String")}, {});
  std::unique_ptr<BusObjSpec> twin = parse(*again);
  int notAnObject = 0;
  agent.clearRecords();
  EXPECT_EQ(0, spec->equals(spec.get()));
  EXPECT_EQ(0, spec->equals(twin.get()));
  EXPECT_EQ(0, spec->equals(nullptr));
  EXPECT_EQ(0, spec->equals(&notAnObject));
  EXPECT_TRUE(agent.messages().empty() && agent.logs().empty());
}

}  // namespace
