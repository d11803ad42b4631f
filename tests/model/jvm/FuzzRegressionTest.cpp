// Hostile input that fuzzers reach slowly, through the whole request path and through the model's
// readers: absurd counts and length prefixes, deep nesting, huge spec texts, U+0000 and lone
// surrogates. A malformed request is a failed request with an error text that leaves the agent's
// bucket as it was; nothing crashes, reads out of bounds or allocates for a count it cannot hold.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"
#include "VyTestAgent.hpp"

namespace {

const std::string kEmpty = "\x05";

// A spec text of `name` with string attributes (the first is the key) and object attributes
// given as "name:Type:card".
std::vector<std::string> specFields(const std::string& name, const std::vector<std::string>& attrs,
                                    const std::string& appText = "app") {
  std::vector<std::string> f = {
      "BusObjSpec", "4.2.0.0", name, "1.0.0", appText, std::to_string(attrs.size()), "2"};
  bool first = true;
  for (const std::string& a : attrs) {
    size_t c1 = a.find(':');
    std::string attrName = a.substr(0, c1);
    std::string type = "String", card = "1";
    if (c1 != std::string::npos) {
      size_t c2 = a.find(':', c1 + 1);
      type = a.substr(c1 + 1, c2 - c1 - 1);
      card = a.substr(c2 + 1);
    }
    std::vector<std::string> group = {attrName, type,          first ? "true" : "false",
                                      "false",  "false",       kEmpty,
                                      "40",     kEmpty,        "1.0.0",
                                      card,     "Containment", "true",
                                      kEmpty};
    f.insert(f.end(), group.begin(), group.end());
    first = false;
  }
  f.insert(f.end(), {"Create", kEmpty, "Update", kEmpty});
  return f;
}

// HardNode: 0 Id (key), 1 Label, 2 Kids (HardNode, n), 3 Next (HardNode, 1) -- recursive.
const std::vector<std::string> kNodeSpec =
    specFields("HardNode", {"Id", "Label", "Kids:HardNode:n", "Next:HardNode:1"});

// The fields of a HardNode with no children.
std::vector<std::string> leaf(const std::string& id) {
  return {"BusinessObject", "4.2.0.0", "HardNode", "1.0.0",   "false", "Create",
          "en_US",          "4",       id,         "KyBlank", "0",     "0"};
}

std::u16string u16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class FuzzRegressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent.init();
    agent.gotBusObjSpec16(vytest::wire(kNodeSpec));
    agent.clearRecords();
  }

  // The request must fail as a whole: -1, an error text, the bucket untouched.
  void expectRefused(const std::u16string& request, const char* why, bool transactional = false) {
    vytest::VerbResult r = agent.doVerbFor(request, transactional);
    EXPECT_EQ(-1, r.status) << why;
    EXPECT_TRUE(r.hasError) << why;
    EXPECT_FALSE(r.error.empty()) << why;
    EXPECT_TRUE(r.content == request) << why << ": the bucket changed";
  }

  std::unique_ptr<BusinessObject> read(const std::u16string& text) {
    StringMessage msg(reinterpret_cast<const unsigned short*>(text.c_str()));
    return std::make_unique<BusinessObject>(msg);
  }

  vytest::Agent agent;
};

TEST_F(FuzzRegressionTest, AbsurdCountsAndLengthPrefixesFailTheRequestAndKeepTheBucket) {
  // A child count of 2,147,483,647 with one child behind it.
  std::vector<std::string> f = leaf("root");
  f[10] = "2147483647";
  std::vector<std::string> child = leaf("kid");
  f.insert(f.end() - 1, child.begin(), child.end());
  expectRefused(vytest::wire(f), "child count 2147483647");
  expectRefused(vytest::wire(f), "child count 2147483647, transaction", true);

  // A length prefix of 20 digits, alone and after good fields.
  std::u16string good = vytest::wire(leaf("a"));
  expectRefused(u16("99999999999999999999\x03") + u"abc", "20-digit prefix");
  expectRefused(vytest::wire({"BusinessObject", "4.2.0.0"}) + u16("18446744073709551617\x03x"),
                "20-digit prefix after good fields");

  // The last field ("1", U+0003, "0") announces one unit more than is left.
  std::u16string overlong = good.substr(0, good.size() - 3) + u"2\x03" + u"0";
  expectRefused(overlong, "prefix = remaining length + 1");

  // A well-formed object with a malformed tail is still a complete object.
  vytest::VerbResult r = agent.doVerbFor(good + u"7\x03short", false);
  EXPECT_EQ(1, r.status) << r.error;
}

TEST_F(FuzzRegressionTest, TenThousandNestedLevelsAreRefusedWithoutExhaustingTheStack) {
  // Node -> Next -> Next ... 10,000 levels deep, each level opening "1" and a child.
  std::vector<std::string> f;
  const int levels = 10000;
  for (int i = 0; i < levels; ++i) {
    std::vector<std::string> head = {
        "BusinessObject", "4.2.0.0", "HardNode", "1.0.0",    "false", "Create",
        "en_US",          "4",       "n",        "KyIgnore", "0",     "1"};
    f.insert(f.end(), head.begin(), head.end());
  }
  std::vector<std::string> last = leaf("bottom");
  f.insert(f.end(), last.begin(), last.end());
  std::u16string deep = vytest::wire(f);

  std::unique_ptr<BusinessObject> bo = read(deep);
  EXPECT_EQ(nullptr, bo->getTheSpec());
  EXPECT_NE(nullptr, bo->getReadError());
  expectRefused(deep, "10,000 levels");
  expectRefused(deep, "10,000 levels, transaction", true);

  // Just inside the limit the same shape reads, and writes back the same text.
  std::vector<std::string> ok;
  for (int i = 0; i < BusinessObject::MAX_READ_DEPTH; ++i)
    ok.insert(ok.end(), f.begin(), f.begin() + 12);
  ok.insert(ok.end(), last.begin(), last.end());
  std::u16string text = vytest::wire(ok);
  std::unique_ptr<BusinessObject> fine = read(text);
  ASSERT_NE(nullptr, fine->getTheSpec()) << fine->getReadError();
  std::unique_ptr<StringMessage> out(fine->toStringMessage());
  EXPECT_TRUE(text == std::u16string(reinterpret_cast<const char16_t*>(out->toUTF16String()),
                                     out->getCurrentUTF16Size()));

  // A tree 10,000 levels deep built by code is released without deep recursion.
  auto* root = new BusinessObject("HardNode", "en_US");
  BusinessObject* at = root;
  for (int i = 0; i < levels; ++i) {
    auto* next = new BusinessObject("HardNode", "en_US");
    ASSERT_EQ(1, at->setAttrValue(3, next, 0));
    at = next;
  }
  delete root;
}

TEST_F(FuzzRegressionTest, SpecAnnouncingAMillionAttributesWithThreeFollowingIsNotFiled) {
  std::vector<std::string> f = specFields("HardMillion", {"A", "B", "C"});
  f[5] = "1000000";
  StringMessage msg(reinterpret_cast<const unsigned short*>(vytest::wire(f).c_str()));
  BusObjSpec spec(msg);
  EXPECT_NE(nullptr, spec.getParseError());
  EXPECT_EQ(0, spec.getAttributeCount());

  agent.gotBusObjSpec16(vytest::wire(f));
  EXPECT_EQ(nullptr, BusObjSpecDirectory::theBusObjSpecDirectory.find("HardMillion"));
  // And a verb count of a million with the two verbs that follow.
  f = specFields("HardMillion", {"A"});
  f[6] = "1000000";
  agent.gotBusObjSpec16(vytest::wire(f));
  EXPECT_EQ(nullptr, BusObjSpecDirectory::theBusObjSpecDirectory.find("HardMillion"));
}

TEST_F(FuzzRegressionTest, SpecTextOf64MegabytesIsReadOrRefusedWhole) {
  // 32 Mi units of application text: 64 MB as UTF-16.
  const size_t units = size_t(32) << 20;
  std::vector<std::string> f = specFields("HardHuge", {"Id", "Note"}, std::string(units, 'a'));
  std::u16string whole = vytest::wire(f);
  agent.gotBusObjSpec16(whole);
  BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find("HardHuge");
  ASSERT_NE(nullptr, spec);
  EXPECT_EQ(units, std::string(spec->getAppText()).size());
  EXPECT_EQ(2, spec->getAttributeCount());
  vytest::VerbResult r =
      agent.doVerbFor(vytest::wire({"BusinessObject", "4.2.0.0", "HardHuge", "1.0.0", "false",
                                    "Create", "en_US", "2", "1", "KyBlank"}));
  EXPECT_EQ(1, r.status) << r.error;

  // The same text cut short inside the application text is refused and files nothing.
  f[2] = "HardHugeCut";
  std::u16string cut = vytest::wire(f);
  cut.resize(units / 2);
  agent.gotBusObjSpec16(cut);
  EXPECT_EQ(nullptr, BusObjSpecDirectory::theBusObjSpecDirectory.find("HardHugeCut"));
}

TEST_F(FuzzRegressionTest, NulAndLoneSurrogatesInsideTheText) {
  // U+0000 inside a field: the request text ends there, so the field overruns and is refused.
  std::u16string withNul = vytest::wire(leaf("ab"));
  size_t at = withNul.find(u"ab");
  ASSERT_NE(std::u16string::npos, at);
  withNul[at + 1] = u'\0';
  expectRefused(withNul, "U+0000 inside a key");

  // Lone surrogates are replaced the way the JVM replaces them, in both directions.
  std::u16string odd = u"x";
  odd += static_cast<char16_t>(0xD800);
  odd += u"y";
  odd += static_cast<char16_t>(0xDC01);
  std::vector<std::string> f = leaf("placeholder");
  std::u16string request = vytest::wire(f);
  size_t key = request.find(u"11\x03placeholder");
  ASSERT_NE(std::u16string::npos, key);
  request.replace(key, 14, u"4\x03" + odd);
  vytest::VerbResult r = agent.doVerbFor(request, false);
  ASSERT_EQ(1, r.status) << r.error;
  EXPECT_NE(std::u16string::npos, r.content.find(u"4\x03x?y?")) << "surrogates replaced by '?'";

  // The same through the reader and a StringMessage alone.
  std::unique_ptr<BusinessObject> bo = read(request);
  ASSERT_NE(nullptr, bo->getTheSpec()) << bo->getReadError();
  EXPECT_STREQ("x?y?", static_cast<const char*>(bo->getAttrValue(0)));
}

}  // namespace
