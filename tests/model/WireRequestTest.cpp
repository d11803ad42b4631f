// The request path's reader and writer (the agent's UTF-16 text read in place, the processed
// object written straight back as UTF-16) against the StringMessage-based ones: the same texts
// accepted and refused, the same texts written; and the slot contracts on objects whose texts
// live in the object's own storage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BusinessObjectTestSpecs.hpp"
#include "NativeAgent.hpp"
#include "RequestRefusal.hpp"
#include "TransactionTestSpecs.hpp"
#include "VyConnector.hpp"
#include "WireRequest.hpp"

namespace {

using bospecs::kObject;
using bospecs::kString;

std::u16string asText(vy::Units u) {
  return std::u16string(reinterpret_cast<const char16_t*>(u.data), u.length);
}

// Reads `text` both ways; expects both readers to agree on acceptance and, for an accepted
// text, to write the same units. Returns whether it was accepted.
bool sameBothWays(const std::u16string& text, bool transactional, std::string* why = nullptr) {
  vy::RequestObject request(reinterpret_cast<const unsigned short*>(text.data()), text.size(),
                            transactional);
  std::u16string terminated = text;
  StringMessage message(reinterpret_cast<const unsigned short*>(terminated.c_str()));
  std::unique_ptr<BusinessObject> plain;
  std::unique_ptr<TransactionBusinessObject> tbo;
  BusinessObject* classic;
  if (transactional) {
    tbo = std::make_unique<TransactionBusinessObject>(message);
    classic = tbo.get();
  } else {
    plain = std::make_unique<BusinessObject>(message);
    classic = plain.get();
  }
  bool accepted = request.object().getTheSpec() != nullptr;
  EXPECT_EQ(classic->getTheSpec() != nullptr, accepted);
  if (why != nullptr) *why = accepted ? "" : request.object().getReadError();
  if (!accepted) {
    EXPECT_NE(nullptr, request.object().getReadError());
    return false;
  }
  std::unique_ptr<StringMessage> out(transactional ? tbo->toStringMessage()
                                                   : plain->toStringMessage());
  EXPECT_EQ(bospecs::units(*out), asText(request.wireUnits()));
  return true;
}

using WireRequestTest = bospecs::ModelTestOn<vytest::NativeAgent>;

const std::vector<std::string> kCustomer = {"BusinessObject",
                                            "4.2.0.0",
                                            "Customer",
                                            "1.0.0",
                                            "true",
                                            "Update",
                                            "en_US",
                                            "4",
                                            "17",
                                            "KyBlank",
                                            "2",
                                            "false",
                                            "BusinessObject",
                                            "4.2.0.0",
                                            "Phone",
                                            "1.0.0",
                                            "false",
                                            "Create",
                                            "en_US",
                                            "1",
                                            "555",
                                            "BusinessObject",
                                            "4.2.0.0",
                                            "Phone",
                                            "1.0.0",
                                            "false",
                                            "Create",
                                            "en_US",
                                            "1",
                                            "556",
                                            "0"};

TEST_F(WireRequestTest, ReadsAndWritesWhatTheMessageReaderDoesAndRefusesTheSame) {
  std::u16string whole = vytest::wire(kCustomer);
  EXPECT_TRUE(sameBothWays(whole, false));
  EXPECT_EQ(whole, [&] {
    vy::RequestObject r(reinterpret_cast<const unsigned short*>(whole.data()), whole.size(), false);
    return asText(r.wireUnits());
  }()) << "read and written unchanged gives the same text";

  // Non-ASCII texts (accented Latin, kana, CJK, an emoji) and a surrogate pair.
  std::vector<std::string> f = kCustomer;
  f[8] = "Zoë かな 漢字 \xF0\x9F\x98\x80";
  EXPECT_TRUE(sameBothWays(vytest::wire(f), false));

  // Every cut of the text, inside fields and between them.
  for (size_t n = 0; n < whole.size(); ++n) {
    EXPECT_FALSE(sameBothWays(whole.substr(0, n), false)) << n << " units";
  }
  // Mutated fields: counts, markers, flags.
  const std::vector<std::pair<size_t, std::string>> changes = {
      {0, "BusObjSpec"}, {7, "four"},     {7, "5"},   {7, "-4"},   {7, "+4"},
      {10, "two"},       {10, "+2"},      {10, "-3"}, {10, "0"},   {10, " 2"},
      {11, "true"},      {2, "Stranger"}, {19, "2"},  {4, "null"}, {10, "99999999999"}};
  for (const auto& [at, text] : changes) {
    std::vector<std::string> g = kCustomer;
    g[at] = text;
    sameBothWays(vytest::wire(g), false);
  }
  // Prefix faults: a prefix that is not digits, too long, zero, or past the end.
  for (std::u16string bad : {u"x\x03", u"00000000001\x03", u"0\x03", u"99\x03"}) {
    sameBothWays(whole.substr(0, 40) + bad, false);
  }
}

// A value whose conversion was exact goes back as the agent's own units while it is unchanged;
// one changed in place, replaced, moved or whose conversion was not exact is written from its
// native text, as the message writer writes it.
TEST_F(WireRequestTest, ConvertedValuesGoBackAsTheyCameOnlyWhileUnchanged) {
  std::vector<std::string> f = kCustomer;
  f[8] = "Zoë かな 漢字 \xF0\x9F\x98\x80";
  f[20] = "Ünïcødé";
  std::u16string whole = vytest::wire(f);
  auto read = [](const std::u16string& text) {
    return std::make_unique<vy::RequestObject>(reinterpret_cast<const unsigned short*>(text.data()),
                                               text.size(), false);
  };
  EXPECT_EQ(whole, asText(read(whole)->wireUnits()));

  auto r = read(whole);
  BusinessObject& bo = r->object();
  ASSERT_NE(nullptr, bo.getTheSpec()) << bo.getReadError();
  static_cast<char*>(bo.getAttrValue(0))[0] = 'X';  // same length, changed in place
  BusinessObject* phone = static_cast<BusObjContainer*>(bo.getAttrValue(2))->getObject(0);
  static_cast<char*>(phone->getAttrValue(0))[2] = '\0';  // shortened in place
  std::vector<std::string> g = f;
  g[8][0] = 'X';
  g[20] = "Ü";
  EXPECT_EQ(vytest::wire(g), asText(r->wireUnits()));

  // The connector's own texts in both slots: an equal copy and a new text, both written.
  r = read(whole);
  BusinessObject& again = r->object();
  phone = static_cast<BusObjContainer*>(again.getAttrValue(2))->getObject(0);
  std::string same = static_cast<char*>(again.getAttrValue(0));
  EXPECT_EQ(1, again.setAttrValue(0, same.c_str(), kString));
  EXPECT_EQ(1, phone->setAttrValue(0, "Zoë", kString));
  g = f;
  g[20] = "Zoë";
  EXPECT_EQ(vytest::wire(g), asText(r->wireUnits()));

  // Lone surrogates cannot be converted exactly: the written text is the message writer's.
  std::u16string lone = whole;
  size_t at = lone.find(u"かな");
  ASSERT_NE(std::u16string::npos, at);
  lone[at] = 0xD800;
  lone[at + 1] = 0xDC00;
  std::swap(lone[at], lone[at + 1]);
  EXPECT_TRUE(sameBothWays(lone, false));
  EXPECT_NE(lone, asText(read(lone)->wireUnits()));
}

TEST_F(WireRequestTest, ANulInsideATextIsRefusedWithTheReason) {
  std::u16string text = vytest::wire(kCustomer);
  size_t at = text.find(u"555");
  text[at + 1] = u'\0';
  vy::RequestObject request(reinterpret_cast<const unsigned short*>(text.data()), text.size(),
                            false);
  EXPECT_EQ(nullptr, request.object().getTheSpec());
  ASSERT_NE(nullptr, request.object().getReadError());
  EXPECT_NE(nullptr, std::strstr(request.object().getReadError(), "U+0000"))
      << request.object().getReadError();
}

TEST_F(WireRequestTest, ARefusedRequestAnswersTheOneRefusalText) {
  std::u16string cut = vytest::wire(kCustomer).substr(0, 60);
  for (bool transactional : {false, true}) {
    vy::RequestObject request(reinterpret_cast<const unsigned short*>(cut.data()), cut.size(),
                              transactional);
    ReturnStatusDescriptor status;
    EXPECT_EQ(-1, request.doVerbFor(&status));
    ASSERT_NE(nullptr, status.getErrorMsg());
    EXPECT_EQ(vy::requestRefusal(request.object()), status.getErrorMsg());
    EXPECT_EQ(0u, std::string(status.getErrorMsg()).find("The request cannot be processed: "))
        << status.getErrorMsg();
  }
}

TEST_F(WireRequestTest, SlotsOfAReadObjectKeepEveryContract) {
  std::u16string whole = vytest::wire(kCustomer);
  vy::RequestObject request(reinterpret_cast<const unsigned short*>(whole.data()), whole.size(),
                            false);
  BusinessObject& bo = request.object();
  ASSERT_NE(nullptr, bo.getTheSpec()) << bo.getReadError();
  EXPECT_EQ(BusinessObject::BlankValue, bo.getAttrValue(1)) << "the blank marker by address";

  // A text set over a read one, freed again, and the connector's own text put in a slot by hand:
  // the object frees that one with free() (ASan and LeakSanitizer watch this).
  EXPECT_EQ(1, bo.setAttrValue(0, "18", kString));
  EXPECT_STREQ("18", static_cast<char*>(bo.getAttrValue(0)));
  bo.freeValue(0);
  EXPECT_TRUE(bo.isIgnore(0));
  bo.getAttrValues()[0] = strdup("mine");
  BusObjContainer* phones = static_cast<BusObjContainer*>(bo.getAttrValue(2));
  BusinessObject* first = phones->getObject(0);
  first->freeValue(0);
  first->getAttrValues()[0] = strdup("557");
  EXPECT_EQ("557:Create 556:Create", bospecs::children(phones));
  bo.setVerb("Create");
  bo.setLocale("de_DE");
  EXPECT_STREQ("de_DE", bo.getLocale());

  phones->setObject(1, bospecs::make("Phone", "Create", {"1"}));  // deletes the read child

  // A new value array set by the connector replaces the read one.
  void** fresh = new void*[bo.getAttrCount()]();
  fresh[1] = BusinessObject::BlankValue;
  bo.freeValue(0);
  bo.freeValue(2);
  bo.setValues(fresh);
  EXPECT_EQ(BusinessObject::BlankValue, bo.getAttrValue(1));
  EXPECT_EQ(1, bo.setAttrValue(0, "20", kString));
  EXPECT_EQ(1, bo.setAttrValue(2, bospecs::make("Phone", "Create", {"9"}), kObject));
}

TEST_F(WireRequestTest, AChildTakenOutOfAReadTreeOutlivesTheTree) {
  std::vector<std::string> f = kCustomer;
  f.back() = "1";
  f.insert(f.end(), {"BusinessObject", "4.2.0.0", "Person", "1.0.0", "false", "Create", "en_US",
                     "3", "P1", "Ann", "KyIgnore"});
  std::u16string text = vytest::wire(f);
  std::unique_ptr<BusinessObject> owner;
  {
    vy::RequestObject request(reinterpret_cast<const unsigned short*>(text.data()), text.size(),
                              false);
    ASSERT_NE(nullptr, request.object().getTheSpec()) << request.object().getReadError();
    owner.reset(static_cast<BusinessObject*>(request.object().getAttrValue(3)));
    request.object().getAttrValues()[3] = nullptr;
  }
  EXPECT_STREQ("Ann", static_cast<char*>(owner->getAttrValue(1)));
  EXPECT_STREQ("Create", owner->getVerb());
  EXPECT_STREQ("en_US", owner->getLocale());
}

// An object's storage goes back to the freeing thread for its next objects: trees read one after
// another (freed on the reading thread, on another, or after the reading thread ended) each read
// their own values, and nothing is freed twice or lost (the sanitizer build checks that).
TEST_F(WireRequestTest, StorageOfFreedTreesIsReusedOnEveryThreadWithoutMixingValues) {
  auto textWith = [](const std::string& name) {
    std::vector<std::string> f = kCustomer;
    f.back() = "1";
    f.insert(f.end(), {"BusinessObject", "4.2.0.0", "Person", "1.0.0", "false", "Create", "en_US",
                       "3", "P-" + name, name, "KyIgnore"});
    return vytest::wire(f);
  };
  auto readChild = [&](const std::string& name) {
    std::u16string text = textWith(name);
    vy::RequestObject request(reinterpret_cast<const unsigned short*>(text.data()), text.size(),
                              false);
    EXPECT_NE(nullptr, request.object().getTheSpec()) << request.object().getReadError();
    auto* child = static_cast<BusinessObject*>(request.object().getAttrValue(3));
    request.object().getAttrValues()[3] = nullptr;
    return std::unique_ptr<BusinessObject>(child);
  };
  std::vector<std::unique_ptr<BusinessObject>> fromOthers;
  std::thread reader([&] {
    for (int i = 0; i < 50; ++i) fromOthers.push_back(readChild("other" + std::to_string(i)));
  });
  reader.join();  // its storage cache is gone; its objects live on
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<BusinessObject>> mine;
    for (int i = 0; i < 50; ++i)
      mine.push_back(readChild(std::to_string(round) + "-" + std::to_string(i)));
    for (int i = 0; i < 50; ++i) {
      EXPECT_STREQ((std::to_string(round) + "-" + std::to_string(i)).c_str(),
                   static_cast<char*>(mine[i]->getAttrValue(1)));
    }
    if (round == 1) {
      // Freed on another thread, whose cache then ends with it.
      std::thread([&] { mine.clear(); }).join();
    }
  }
  for (int i = 0; i < 50; ++i) {
    EXPECT_STREQ(("other" + std::to_string(i)).c_str(),
                 static_cast<char*>(fromOthers[i]->getAttrValue(1)));
  }
}

using TransactionWireTest = tbospecs::TransactionTest<vytest::NativeAgent>;

TEST_F(TransactionWireTest, TheSectionReadsAndWritesAsTheMessageReaderAndOneCountRuleHolds) {
  using tbospecs::cat;
  using tbospecs::kBase;
  using tbospecs::line;
  using tbospecs::order;
  using tbospecs::section;
  tbospecs::Fields refs = cat({{"1", "KyBlank", "2"},
                               line("L1", "a"),
                               line("L2", "b"),
                               {"1"},
                               line("M", "m"),
                               {"KyIgnore"}});
  std::u16string good = vytest::wire(cat({order("Update", kBase), section(true, "Update", refs)}));
  EXPECT_TRUE(sameBothWays(good, true));
  EXPECT_TRUE(sameBothWays(vytest::wire(order("Create", kBase)), true)) << "no section";
  for (size_t n = good.size() / 2; n < good.size(); n += 7) sameBothWays(good.substr(0, n), true);

  // The section's counts follow the object's rule: "+2" and " 2" are no counts anywhere.
  for (const char* count : {"+2", " 2", "2x"}) {
    tbospecs::Fields r = refs;
    r[2] = count;
    std::string why;
    EXPECT_FALSE(sameBothWays(
        vytest::wire(cat({order("Update", kBase), section(true, "Update", r)})), true, &why))
        << count;
    EXPECT_NE(std::string::npos, why.find("bad child count")) << why;
  }
}

}  // namespace
