// Attribute types as connector code and the spec parser build them.
#include <gtest/gtest.h>

#include <cstring>

#include "BOAttrType.hpp"
#include "NativeAgent.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

TEST(BOAttrTypeTest, TheFullFormStoresEveryFieldAsACopy) {
  Agent agent;
  agent.init();
  char name[] = "Id";
  char typeName[] = "String";
  char app[] = "app";
  char def[] = "dflt";
  BOAttrType attr;
  EXPECT_EQ(nullptr, attr.getName());
  ASSERT_EQ(0, attr.setAttrib(name, BOAttrType::STRING, typeName, 1, 0, 1, app, 40, def, "2.3.4",
                              "1", "Containment", static_cast<unsigned char>(0)));
  name[0] = typeName[0] = app[0] = def[0] = '#';
  EXPECT_STREQ("Id", attr.getName());
  EXPECT_STREQ("String", attr.getTypeName());
  EXPECT_STREQ("app", attr.getAppText());
  EXPECT_STREQ("dflt", attr.getDefault());
  EXPECT_EQ(5, attr.getTypeNum());
  EXPECT_EQ(40, attr.getMaxLength());
  EXPECT_EQ(1, attr.isKey());
  EXPECT_EQ(0, attr.isForeignKey());
  EXPECT_EQ(1, attr.isRequired());
  EXPECT_EQ(0, attr.getIsRequiredServerBound());
  EXPECT_STREQ("2.3.4", attr.getBOVersion().toString());
  EXPECT_TRUE(attr.isType(5));
  EXPECT_FALSE(attr.isObjectType());
  EXPECT_TRUE(attr.hasName("Id"));
  EXPECT_FALSE(attr.hasName("id"));
  EXPECT_FALSE(attr.hasName(nullptr));
  EXPECT_EQ(nullptr, attr.getAuxText());
}

TEST(BOAttrTypeTest, TwelveAndThirteenArgumentFormsAreServerBound) {
  Agent agent;
  agent.init();
  BOAttrType twelve;
  ASSERT_EQ(0, twelve.setAttrib("A", 1, nullptr, 0, 0, 0, nullptr, 1, nullptr, nullptr, nullptr,
                                nullptr));
  EXPECT_EQ(1, twelve.getIsRequiredServerBound());
  EXPECT_EQ(nullptr, twelve.getTypeName());
  EXPECT_EQ(nullptr, twelve.getBOVersionPtr());
  EXPECT_STREQ("0.0.0", twelve.getBOVersion().toString()) << "no version reads as the latest";
  BOAttrType thirteen;
  ASSERT_EQ(0, thirteen.setAttrib("B", 7, "LongText", 0, 0, 0, nullptr, 1, nullptr, "1.0.0",
                                  nullptr, nullptr, "aux"));
  EXPECT_EQ(1, thirteen.getIsRequiredServerBound());
  EXPECT_STREQ("aux", thirteen.getAuxText());
}

TEST(BOAttrTypeTest, TypeNumbersOutsideZeroToSevenAreRefusedWithMessage61) {
  Agent agent;
  agent.init();
  for (int bad : {8, -1}) {
    agent.clearRecords();
    BOAttrType attr;
    EXPECT_EQ(-1, attr.setAttrib("X", bad, "T", 1, 1, 1, nullptr, 1, nullptr, "1.0.0", "n", nullptr,
                                 "aux"));
    EXPECT_EQ(nullptr, attr.getName()) << "nothing changes";
    EXPECT_EQ(nullptr, attr.getAuxText());
    std::vector<vytest::MsgRequest> sent = agent.messagesNumbered(61);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(KyMsgFormat::MLV_FATAL, sent[0].type);
    EXPECT_EQ(1, sent[0].argCount);
    EXPECT_EQ(std::to_string(bad), sent[0].args);
  }
  BOAttrType seven;
  EXPECT_EQ(0, seven.setAttrib("X", 7, "LongText", 0, 0, 0, nullptr, 1, nullptr, nullptr, nullptr,
                               nullptr));
}

TEST(BOAttrTypeTest, CardinalityAndTypeNameComparisons) {
  Agent agent;
  agent.init();
  struct Case {
    const char* card;
    bool multiple;
  };
  for (const Case& c : {Case{"n", true}, Case{"N", true}, Case{"1", false}, Case{"", false},
                        Case{nullptr, false}}) {
    BOAttrType attr;
    attr.setAttrib("C", 0, nullptr, 0, 0, 0, nullptr, 1, nullptr, nullptr, c.card, nullptr);
    EXPECT_EQ(c.multiple, attr.isMultipleCard() != 0) << (c.card ? c.card : "null");
    EXPECT_EQ(c.card == nullptr, attr.hasCardinality(nullptr) != 0);
    EXPECT_EQ(c.multiple, attr.hasCardinality("N") != 0);
    EXPECT_TRUE(attr.hasTypeName(nullptr));
    EXPECT_FALSE(attr.hasTypeName("Phone"));
  }
  BOAttrType typed;
  typed.setAttrib("P", 0, "Phone", 0, 0, 0, nullptr, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(typed.hasTypeName("Phone"));
  EXPECT_FALSE(typed.hasTypeName("phone"));
  EXPECT_FALSE(typed.hasTypeName(nullptr));
}

TEST(BOAttrTypeTest, TheBlankMarkerIsKeptByIdentityAndNeverFreed) {
  Agent agent;
  agent.init();
  char* blank = BusinessObject::getBlankValue();
  {
    BOAttrType attr;
    attr.setAttrib("B", 5, "String", 0, 0, 0, blank, 1, blank, nullptr, nullptr, nullptr);
    EXPECT_EQ(blank, attr.getAppText());
    EXPECT_EQ(blank, attr.getDefault());
    BOAttrType copied;
    copied.setAttrib("B", 5, "String", 0, 0, 0, "", 1, "", nullptr, nullptr, nullptr);
    EXPECT_NE(blank, copied.getAppText()) << "an empty text of its own is a copy";
    EXPECT_STREQ("", copied.getAppText());
  }
  EXPECT_EQ(blank, BusinessObject::getBlankValue());
  EXPECT_STREQ("", blank);
}

}  // namespace
