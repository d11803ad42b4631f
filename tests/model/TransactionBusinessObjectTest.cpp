// Transaction business objects: the transaction section read in both header layouts, malformed
// sections refused like malformed objects, reference values written back, compared and set.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "NativeAgent.hpp"
#include "TransactionTestSpecs.hpp"
#include "VyConnector.hpp"

namespace {

using namespace tbospecs;

using TransactionBusinessObjectTest = tbospecs::TransactionTest<vytest::NativeAgent>;

TEST_F(TransactionBusinessObjectTest, ReadsTheSectionWithAndWithoutTheFormatVersion) {
  for (bool withVersion : {true, false}) {
    SCOPED_TRACE(withVersion ? "with 4.2.0.0" : "without 4.2.0.0");
    Fields refs = cat({{"1", "KyBlank", "2"},
                       line("L1", "a"),
                       line("L2", "b"),
                       {"1"},
                       line("M", "m"),
                       {"KyIgnore"}});
    std::string rest;
    auto tbo =
        read(cat({order("Create", kBase), section(withVersion, "Update", refs), {"After"}}), &rest);
    ASSERT_NE(nullptr, tbo->getSpecFor()) << tbo->getReadError();
    EXPECT_EQ(nullptr, tbo->getReadError());
    EXPECT_EQ("After", rest) << "the section is read exactly, from just after the base object";
    EXPECT_STREQ("Update", tbo->getVerb()) << "the section's verb replaces the object's";
    EXPECT_STREQ("Name", static_cast<char*>(tbo->getAttrValue(1)));
    EXPECT_STREQ("1", static_cast<char*>(tbo->getRefAttrValue(0)));
    EXPECT_EQ(BusinessObject::BlankValue, tbo->getRefAttrValue("Name"));
    auto* lines = static_cast<BusObjContainer*>(tbo->getRefAttrValue("Lines"));
    ASSERT_NE(nullptr, lines);
    ASSERT_EQ(2, lines->getObjectCount());
    EXPECT_STREQ("L2", static_cast<char*>(lines->getObject(1)->getAttrValue(0)));
    EXPECT_EQ(tbo.get(), lines->getObject(0)->getParent());
    auto* main = static_cast<BusinessObject*>(tbo->getRefAttrValue("Main"));
    ASSERT_NE(nullptr, main);
    EXPECT_STREQ("m", static_cast<char*>(main->getAttrValue(1)));
    EXPECT_EQ(nullptr, tbo->getRefAttrValue("Note"));
  }
}

TEST_F(TransactionBusinessObjectTest, WithoutASectionEveryReferenceValueIsAbsent) {
  auto tbo = read(order("Create", kBase));
  ASSERT_NE(nullptr, tbo->getSpecFor());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(nullptr, tbo->getRefAttrValue(i));
  auto other = read(order("Create", {"2", "Other", "0", "0", "x"}));
  EXPECT_EQ(0, tbo->equalsRefAttrs(*other));
}

TEST_F(TransactionBusinessObjectTest, MalformedSectionsLeaveNoSpecAndSayWhy) {
  const std::vector<std::pair<const char*, Fields>> cases = {
      {"unknown type",
       {"TransactionBusinessObject", "4.2.0.0", "NoSuchType", "1.0.0", "Update", "5", "1", "x", "0",
        "0", "KyIgnore"}},
      {"unknown version", {"TransactionBusinessObject", "TboOrder", "7.7.7", "Update", "5"}},
      {"another type", {"TransactionBusinessObject", "TboLine", "1.0.0", "Update", "2", "a", "b"}},
      {"count mismatch", section(true, "Update", {"1", "x", "0", "0"}, "4")},
      {"count not a number", section(true, "Update", {"1", "x", "0", "0", "y"}, "five")},
      {"truncated header", {"TransactionBusinessObject", "4.2.0.0", "TboOrder"}},
      {"truncated values", section(true, "Update", {"1", "x"})},
      {"bad child count", section(true, "Update", {"1", "x", "many", "0", "y"})},
      {"child cut short", cat({section(true, "Update", {"1", "x", "2"}), line("L1", "a")})},
      {"child of unknown type",
       cat({section(true, "Update", {"1", "x", "0", "1"}),
            {"BusinessObject", "4.2.0.0", "Nope", "1.0.0", "false", "Create", "en_US", "0"}})},
  };
  for (const auto& [what, sectionFields] : cases) {
    SCOPED_TRACE(what);
    auto tbo = read(cat({order("Create", kBase), sectionFields}));
    BusinessObject& asBase = *tbo;
    EXPECT_EQ(nullptr, asBase.getSpecFor());
    ASSERT_NE(nullptr, asBase.getReadError());
    EXPECT_NE(0u, std::strlen(asBase.getReadError()));
    ReturnStatusDescriptor status;
    EXPECT_EQ(-1, tbo->doVerbFor(&status));
    EXPECT_NE(nullptr, status.getErrorMsg());
  }
  EXPECT_FALSE(agent.messagesNumbered(64).empty()) << "unknown types are reported as message 64";
}

TEST_F(TransactionBusinessObjectTest, WritesTheBaseObjectThenTheSectionWithoutContainerFlags) {
  Fields refs = cat({{"KyIgnore", "KyBlank", "2"}, line("L1", "a"), line("L2", "b"), {"0", "r"}});
  auto tbo = read(cat({order("Update", kBase), section(false, "Update", refs)}));
  ASSERT_NE(nullptr, tbo->getSpecFor()) << tbo->getReadError();

  std::unique_ptr<StringMessage> out(tbo->toStringMessage());
  Fields expected = cat({order("Update", kBase),
                         {"TransactionBusinessObject", "4.2.0.0", "TboOrder", "1.0.0", "Update",
                          "5", "KyIgnore", "KyBlank", "2"},
                         line("L1", "a"),
                         line("L2", "b"),
                         {"0", "r"}});
  EXPECT_EQ(expected, tokens(*out)) << "no true/false after the reference container's count";

  std::unique_ptr<StringMessage> plain(tbo->toBusinessObjectString());
  EXPECT_EQ(order("Update", kBase), tokens(*plain));

  // What was written reads back to the same reference values.
  auto again = read(tokens(*out));
  ASSERT_NE(nullptr, again->getSpecFor()) << again->getReadError();
  std::unique_ptr<StringMessage> twice(again->toStringMessage());
  EXPECT_EQ(expected, tokens(*twice));
}

TEST_F(TransactionBusinessObjectTest, ReferenceComparisonCoversEveryAttributeButNotIgnoredOnes) {
  auto tbo = read(cat(
      {order("Update", kBase), section(true, "Update", {"KyIgnore", "Same", "0", "0", "last"})}));
  ASSERT_NE(nullptr, tbo->getSpecFor());
  auto same = read(order("Update", {"99", "Same", "0", "0", "last"}));
  EXPECT_EQ(0, tbo->equalsRefAttrs(*same)) << "the ignored key differs but is not compared";
  auto lastDiffers = read(order("Update", {"1", "Same", "0", "0", "other"}));
  EXPECT_EQ(-1, tbo->equalsRefAttrs(*lastDiffers)) << "the last attribute is compared too";
  auto missing = read(order("Update", {"1", "KyIgnore", "0", "0", "KyIgnore"}));
  EXPECT_EQ(0, tbo->equalsRefAttrs(*missing)) << "a value missing on one side counts as equal";

  auto withLines = read(
      cat({order("Update", kBase),
           section(true, "Update",
                   cat({{"KyIgnore", "KyIgnore", "1"}, line("L1", "a"), {"0", "KyIgnore"}}))}));
  ASSERT_NE(nullptr, withLines->getSpecFor()) << withLines->getReadError();
  auto sameLines =
      read(order("Update", cat({{"1", "x", "1", "false"}, line("L1", "a"), {"0", "KyIgnore"}})));
  auto otherLines =
      read(order("Update", cat({{"1", "x", "1", "false"}, line("L9", "a"), {"0", "KyIgnore"}})));
  EXPECT_EQ(0, withLines->equalsRefAttrs(*sameLines));
  EXPECT_EQ(-1, withLines->equalsRefAttrs(*otherLines)) << "children compare as objects do";
}

TEST_F(TransactionBusinessObjectTest, ReferenceValuesAreSetLikeAttributeValues) {
  auto tbo = read(cat({order("Update", kBase),
                       section(true, "Update", {"KyIgnore", "KyBlank", "0", "0", "KyIgnore"})}));
  ASSERT_NE(nullptr, tbo->getSpecFor());
  tbo->setRefAttrValue("Name", "text", 5);
  EXPECT_STREQ("text", static_cast<char*>(tbo->getRefAttrValue(1)))
      << "a text replaces the blank marker";
  tbo->setRefAttrValue(1, BusinessObject::BlankValue, 3);
  EXPECT_EQ(BusinessObject::BlankValue, tbo->getRefAttrValue(1));

  agent.clearRecords();
  tbo->setRefAttrValue("Name", "text", 2);
  tbo->setRefAttrValue(4, "text", 7);
  EXPECT_EQ(nullptr, tbo->getRefAttrValue(9));
  auto byName = agent.messagesNumbered(72);
  ASSERT_EQ(1u, byName.size());
  EXPECT_EQ("Name,2", byName[0].args);
  EXPECT_EQ(KyMsgFormat::MLV_FATAL, byName[0].type);
  auto byIndex = agent.messagesNumbered(73);
  ASSERT_EQ(2u, byIndex.size());
  EXPECT_EQ("4,7", byIndex[0].args);
  EXPECT_EQ("9,Unknown", byIndex[1].args);
  EXPECT_EQ(nullptr, tbo->getRefAttrValue(4));

  // A child stored as a reference value belongs to the object and names it as parent.
  auto* child = new BusinessObject("TboLine");
  tbo->setRefAttrValue("Lines", child, 0);
  auto* lines = static_cast<BusObjContainer*>(tbo->getRefAttrValue("Lines"));
  ASSERT_NE(nullptr, lines);
  EXPECT_EQ(child, lines->getObject(0));
  EXPECT_EQ(tbo.get(), child->getParent());
}

}  // namespace

namespace {

// The section's verb replaces the object's as written, supported or not and "null" included;
// an owned empty reference text goes back as the blank marker, as a plain value does.
TEST_F(TransactionBusinessObjectTest, SectionVerbReplacesTheObjectsAndEmptyTextsWriteBlank) {
  for (const char* verb : {"Delete", "null", "Retrieve"}) {
    SCOPED_TRACE(verb);
    agent.clearRecords();
    auto tbo = read(cat({order("Create", kBase),
                         section(true, verb, {"KyIgnore", "KyIgnore", "0", "0", "KyIgnore"})}));
    ASSERT_NE(nullptr, tbo->getSpecFor()) << tbo->getReadError();
    EXPECT_STREQ(verb, tbo->getVerb());
    EXPECT_TRUE(agent.messagesNumbered(62).empty()) << "no support check on the section's verb";
  }

  auto tbo = read(cat({order("Update", kBase),
                       section(true, "Update", {"KyIgnore", "KyIgnore", "0", "0", "KyIgnore"})}));
  ASSERT_NE(nullptr, tbo->getSpecFor());
  tbo->setRefAttrValue("Note", "", BOAttrType::STRING);
  std::unique_ptr<StringMessage> out(tbo->toStringMessage());
  std::vector<std::string> t = tokens(*out);
  ASSERT_FALSE(t.empty());
  EXPECT_EQ("KyBlank", t.back()) << "an empty reference text is a blank value, not null";
}

}  // namespace
