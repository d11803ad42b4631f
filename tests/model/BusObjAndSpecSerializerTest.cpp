// Packing a business object with its specs and unpacking it, in a process that already holds the
// specs and in one that does not (simulated here by taking the specs out of the directory; the
// Java-driven serializer test does it across two processes).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BOAttrType.hpp"
#include "BusObjAndSpecSerializer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusObjSpecList.hpp"
#include "BusinessObject.hpp"
#include "NativeAgent.hpp"
#include "StringMessage.hpp"
#include "TestTypeTexts.hpp"

namespace {

using Agent = vytest::NativeAgent;

std::string specText(const std::string& name, const std::vector<vytest::AttrDef>& attrs) {
  return vytest::messageText(vytest::specFields(name, attrs, {"Create", "Update"}));
}

BusObjSpecDirectory& directory() { return BusObjSpecDirectory::theBusObjSpecDirectory; }

// Announces a customer type P+"Customer" (key Id, Name, Phones: many P+"Phone", Owner: one
// customer, so the type is recursive, and a trailing Note) and its phone type.
void announce(Agent& agent, const std::string& p) {
  agent.gotBusObjSpec(specText(p + "Phone", {{"Number", "String", true}, {"Kind", "String"}}));
  agent.gotBusObjSpec(specText(p + "Customer", {{"Id", "String", true},
                                                {"Name", "String"},
                                                {"Phones", p + "Phone", false, false, "", "n"},
                                                {"Owner", p + "Customer"},
                                                {"Note", "String"}}));
}

BusinessObject* phone(const std::string& p, const char* number) {
  auto* ph = new BusinessObject((p + "Phone").c_str());
  ph->setVerb("Create");
  ph->setAttrValue("Number", number, 5);
  ph->setAttrValue("Kind", "mobile\x03with delimiter", 5);
  return ph;
}

// A delta tree with a blank, an ignored value, two phones and an owner.
std::unique_ptr<BusinessObject> customer(const std::string& p) {
  auto bo = std::make_unique<BusinessObject>((p + "Customer").c_str());
  bo->setVerb("Update");
  bo->setDelta(1);
  bo->setAttrValue("Id", "17", 5);
  bo->setAttrValue("Name", BusinessObject::getBlankValue(), 5);
  bo->setAttrValue("Phones", phone(p, "555"), 0);
  bo->setAttrValue("Phones", phone(p, "556"), 0);
  auto* owner = new BusinessObject((p + "Customer").c_str());
  owner->setAttrValue("Id", "1", 5);
  owner->setAttrValue("Name", "Ovoner", 5);
  bo->setAttrValue("Owner", owner, 0);
  return bo;
}

std::string wireOf(BusinessObject& bo) {
  std::unique_ptr<StringMessage> msg(bo.toStringMessage());
  return msg->toString();
}

std::string own(char* text) {
  std::string s = text != nullptr ? text : "";
  std::free(text);
  return s;
}

std::vector<std::string> fields(const std::string& text, const char* delimiter = nullptr) {
  StringMessage msg(text.c_str(), delimiter);
  std::vector<std::string> out;
  while (msg.hasMoreTokens()) out.push_back(msg.nextToken());
  return out;
}

std::string specNameOf(const std::string& specField) { return fields(specField).at(2); }

// Takes the named specs out of the directory, as in a process that never heard of them.
void forget(const std::vector<std::string>& names) {
  for (const std::string& n : names) directory().deleteBusObj(n.c_str(), "1.0.0");
}

// Each test on a started native agent.
class BusObjAndSpecSerializerTest : public ::testing::Test {
 protected:
  void SetUp() override { agent.init(); }

  // Announces the types of prefix `p` (see announce) and gives its customer (see customer).
  std::unique_ptr<BusinessObject> announcedCustomer(const std::string& p) {
    announce(agent, p);
    return customer(p);
  }

  Agent agent;
};

TEST_F(BusObjAndSpecSerializerTest, PackedTextCarriesTheObjectAsOneFieldAndEachSpecOnce) {
  std::unique_ptr<BusinessObject> bo = announcedCustomer("SerA");
  std::string packed = own(BusObjAndSpecSerializer::serialize(bo.get()));

  std::vector<std::string> f = fields(packed);
  ASSERT_EQ(4u, f.size()) << "marker, object, customer spec once, phone spec";
  EXPECT_EQ("BusObjAndSpec", f[0]);
  EXPECT_EQ(wireOf(*bo), f[1]) << "the inner delimiters do not split the outer text";
  std::multiset<std::string> names = {specNameOf(f[2]), specNameOf(f[3])};
  EXPECT_EQ((std::multiset<std::string>{"SerACustomer", "SerAPhone"}), names);
  std::unique_ptr<StringMessage> customerSpec(directory().find("SerACustomer")->toStringMessage());
  EXPECT_TRUE(f[2] == customerSpec->toString() || f[3] == customerSpec->toString());

  // The list gathered for the object is the calling thread's, and releasing it leaves the
  // directory's specs alive.
  BusObjSpecList* list = BusObjAndSpecSerializer::getAllSpecsForBO(bo.get());
  EXPECT_EQ(list, BusObjAndSpecSerializer::getAllSpecs());
  EXPECT_EQ(2u, list->size());
  EXPECT_EQ(directory().find("SerAPhone"), list->find("SerAPhone"));
  BusObjAndSpecSerializer::releaseSpecList(list);
  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::getAllSpecs());
  EXPECT_STREQ("SerAPhone", directory().find("SerAPhone")->getName());

  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::serialize(nullptr));
  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::serializeParentSpecAndKeys(nullptr));
}

TEST_F(BusObjAndSpecSerializerTest, UnpackingFilesMissingSpecsAndKeepsKnownOnes) {
  std::unique_ptr<BusinessObject> bo = announcedCustomer("SerB");
  std::string original = wireOf(*bo);
  std::string packed = own(BusObjAndSpecSerializer::serialize(bo.get()));

  // Known specs are kept; the packed copies are dropped.
  BusObjSpec* knownCustomer = directory().find("SerBCustomer");
  BusObjSpec* knownPhone = directory().find("SerBPhone");
  unsigned int before = directory().size();
  std::unique_ptr<BusinessObject> same(BusObjAndSpecSerializer::deSerialize(packed.c_str()));
  ASSERT_NE(nullptr, same);
  EXPECT_EQ(knownCustomer, same->getTheSpec());
  EXPECT_EQ(knownCustomer, directory().find("SerBCustomer"));
  EXPECT_EQ(knownPhone, directory().find("SerBPhone"));
  EXPECT_EQ(before, directory().size());
  EXPECT_EQ(original, wireOf(*same));

  // Unknown specs are filed from the packed text, and the object reads back equal.
  bo.reset();
  forget({"SerBCustomer", "SerBPhone"});
  std::unique_ptr<BusinessObject> back(BusObjAndSpecSerializer::deSerialize(packed.c_str()));
  ASSERT_NE(nullptr, back);
  ASSERT_NE(nullptr, back->getTheSpec()) << back->getReadError();
  BusObjSpec* filed = directory().find("SerBCustomer");
  ASSERT_NE(nullptr, filed);
  EXPECT_NE(knownCustomer, filed);
  EXPECT_EQ(filed, back->getTheSpec());
  ASSERT_NE(nullptr, directory().find("SerBPhone"));
  EXPECT_EQ(5, filed->getAttributeCount());
  EXPECT_TRUE(filed->getAttribute("Phones")->isMultipleCard());
  EXPECT_TRUE(filed->isVerbSupported("Update"));
  EXPECT_EQ(original, wireOf(*back));
  EXPECT_EQ(1u, back->isDelta());
  EXPECT_STREQ("Update", back->getVerb());
}

TEST_F(BusObjAndSpecSerializerTest, ParentAndKeysFormReadsBackAsAnAfterImageOfKeys) {
  std::unique_ptr<BusinessObject> bo = announcedCustomer("SerC");
  std::string packed = own(BusObjAndSpecSerializer::serializeParentSpecAndKeys(bo.get()));

  std::vector<std::string> f = fields(packed, BusObjAndSpecSerializer::specialDelimiter);
  ASSERT_EQ(3u, f.size());
  EXPECT_EQ("BusObjAndSpec", f[0]);
  EXPECT_EQ("SerCCustomer", specNameOf(f[2])) << "only the object's own spec";
  EXPECT_TRUE(fields(packed).empty()) << "not readable with the default delimiter";
  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::deSerialize(packed.c_str()));

  forget({"SerCCustomer", "SerCPhone"});
  std::unique_ptr<BusinessObject> back(
      BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(packed.c_str()));
  ASSERT_NE(nullptr, back);
  ASSERT_NE(nullptr, back->getTheSpec()) << back->getReadError();
  EXPECT_NE(nullptr, directory().find("SerCCustomer"));
  EXPECT_EQ(nullptr, directory().find("SerCPhone")) << "the child type is not carried";
  EXPECT_EQ(0u, back->isDelta());
  EXPECT_STREQ("Update", back->getVerb());
  EXPECT_STREQ("17", static_cast<char*>(back->getAttrValue("Id")));
  EXPECT_TRUE(back->isIgnore("Note"));
  EXPECT_TRUE(back->isIgnore("Phones"));
  EXPECT_TRUE(back->isIgnore("Owner"));
  // A non-key value that was set travels as ignored.
  std::unique_ptr<BusinessObject> owner(new BusinessObject("SerCCustomer"));
  owner->setAttrValue("Id", "9", 5);
  owner->setAttrValue("Note", "private", 5);
  std::unique_ptr<BusinessObject> ownerBack(BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(
      own(BusObjAndSpecSerializer::serializeParentSpecAndKeys(owner.get())).c_str()));
  ASSERT_NE(nullptr, ownerBack);
  EXPECT_STREQ("9", static_cast<char*>(ownerBack->getAttrValue("Id")));
  EXPECT_TRUE(ownerBack->isIgnore("Note"));
}

TEST_F(BusObjAndSpecSerializerTest, MalformedTextsGiveNullAndFileNothing) {
  std::unique_ptr<BusinessObject> bo = announcedCustomer("SerD");
  std::string packed = own(BusObjAndSpecSerializer::serialize(bo.get()));
  std::vector<std::string> f = fields(packed);
  std::string phoneSpec = specNameOf(f[2]) == "SerDPhone" ? f[2] : f[3];
  std::string customerSpec = specNameOf(f[2]) == "SerDPhone" ? f[3] : f[2];
  auto pack = [](const std::vector<std::string>& parts) {
    StringMessage msg;
    for (const std::string& p : parts) msg.appendField(p.c_str());
    return std::string(msg.toString());
  };
  forget({"SerDCustomer", "SerDPhone"});
  unsigned int before = directory().size();

  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::deSerialize(nullptr));
  std::vector<std::string> refused = {
      "",
      pack({"BusObjAndSpecs", f[1], customerSpec, phoneSpec}),  // wrong kind marker
      pack({"BusObjAndSpec"}),                                  // no object
      pack({"BusObjAndSpec", "garbage", customerSpec}),         // object field is no object
      pack({"BusObjAndSpec", f[1], customerSpec, "hello"}),     // garbage spec field
      pack({"BusObjAndSpec", f[1], customerSpec, f[1]}),        // an object where a spec goes
      // a spec whose counts announce more than it carries, after a good one
      pack({"BusObjAndSpec", f[1], phoneSpec, customerSpec.substr(0, customerSpec.size() - 20)}),
  };
  for (const std::string& text : refused) {
    EXPECT_EQ(nullptr, BusObjAndSpecSerializer::deSerialize(text.c_str())) << text;
    EXPECT_EQ(before, directory().size()) << text;
  }
  std::string twoSpecs = own(BusObjAndSpecSerializer::serializeParentSpecAndKeys(bo.get()));
  twoSpecs += std::to_string(phoneSpec.size()) + "\x04" + phoneSpec;
  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::deSerializeParentSpecAndKeys(twoSpecs.c_str()));

  // More spec fields than a packed text may carry (all ASCII: lengths are byte counts).
  std::string tiny = specText("SerDTiny", {});
  std::string many = pack({"BusObjAndSpec", f[1]});
  std::string tinyField = std::to_string(tiny.size()) + "\x03" + tiny;
  for (int i = 0; i < BusObjAndSpecSerializer::MAX_SPEC_FIELDS; ++i) many += tinyField;
  std::unique_ptr<BusinessObject> atLimit(BusObjAndSpecSerializer::deSerialize(many.c_str()));
  EXPECT_NE(nullptr, atLimit) << "as many as allowed";
  EXPECT_NE(nullptr, directory().find("SerDTiny"));
  directory().deleteBusObj("SerDTiny", "1.0.0");
  many += tinyField;
  EXPECT_EQ(nullptr, BusObjAndSpecSerializer::deSerialize(many.c_str()));
  EXPECT_EQ(nullptr, directory().find("SerDTiny"));
  forget({"SerDCustomer", "SerDPhone"});
  EXPECT_EQ(before, directory().size());

  // Cut anywhere, the text gives null or an object, and whatever was filed is complete.
  for (size_t cut = 0; cut < packed.size(); cut += 7) {
    forget({"SerDCustomer", "SerDPhone"});
    std::unique_ptr<BusinessObject> got(
        BusObjAndSpecSerializer::deSerialize(packed.substr(0, cut).c_str()));
    for (const auto& [name, attrs] : {std::pair{"SerDCustomer", 5}, std::pair{"SerDPhone", 2}}) {
      BusObjSpec* filed = directory().find(name);
      if (filed == nullptr) continue;
      EXPECT_EQ(attrs, filed->getAttributeCount()) << "cut at " << cut;
      EXPECT_EQ(2u, filed->getVerbsListSet().size()) << "cut at " << cut;
    }
    if (got != nullptr && got->getTheSpec() != nullptr) {
      EXPECT_EQ(wireOf(*bo), wireOf(*got)) << "cut at " << cut;
    }
  }
}

TEST_F(BusObjAndSpecSerializerTest, PackingRunsOnSeveralThreadsAtOnce) {
  announce(agent, "SerE");
  announce(agent, "SerF");
  const std::vector<std::string> prefixes = {"SerE", "SerF", "SerE", "SerF"};
  std::vector<std::unique_ptr<BusinessObject>> objects;
  std::vector<std::string> expected;
  for (const std::string& p : prefixes) {
    objects.push_back(customer(p));
    expected.push_back(own(BusObjAndSpecSerializer::serialize(objects.back().get())));
  }
  std::vector<int> mismatches(prefixes.size(), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < prefixes.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        if (own(BusObjAndSpecSerializer::serialize(objects[t].get())) != expected[t])
          ++mismatches[t];
        BusObjSpecList* list = BusObjAndSpecSerializer::getAllSpecsForBO(objects[t].get());
        if (list->size() != 2 || list->find((prefixes[t] + "Phone").c_str()) == nullptr)
          ++mismatches[t];
        BusObjAndSpecSerializer::releaseSpecList(list);
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(std::vector<int>(prefixes.size(), 0), mismatches);
}

TEST_F(BusObjAndSpecSerializerTest, AMissingChildTypeIsReportedAndLeftOut) {
  agent.gotBusObjSpec(specText("SerGParent", {{"Id", "String", true}, {"Kid", "SerGNever"}}));
  BusinessObject bo("SerGParent");
  bo.setAttrValue("Id", "1", 5);
  agent.clearRecords();
  std::vector<std::string> f = fields(own(BusObjAndSpecSerializer::serialize(&bo)));
  ASSERT_EQ(3u, f.size());
  EXPECT_EQ("SerGParent", specNameOf(f[2]));
  int reported = 0;
  for (const vytest::LogLine& line : agent.logs())
    reported += line.text.rfind("64:", 0) == 0 && line.text.find("SerGNever") != std::string::npos;
  EXPECT_EQ(1, reported) << "message 64 names the missing type";
}

}  // namespace
