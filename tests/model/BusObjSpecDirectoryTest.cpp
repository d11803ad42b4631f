// The spec directory, spec lists, and specs arriving from the agent (filed through the veneer as
// n_gotBusObjSpec files them).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusObjSpecList.hpp"
#include "NativeAgent.hpp"
#include "StringMessage.hpp"
#include "TestConnectorControl.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

// A spec text with one string attribute per name in attrs and a Create verb.
std::unique_ptr<StringMessage> specMessage(const std::string& name,
                                           const std::vector<std::string>& attrs = {"Id"},
                                           const char* version = "1.0.0") {
  auto msg = std::make_unique<StringMessage>();
  for (const char* f : {"BusObjSpec", "4.2.0.0"}) msg->appendField(f);
  msg->appendField(name.c_str());
  msg->appendField(version);
  msg->appendField("\x05");
  msg->appendField(std::to_string(attrs.size()).c_str());
  msg->appendField("1");
  for (const std::string& a : attrs) {
    for (const char* f : {a.c_str(), "String", "false", "false", "false", "\x05", "10", "\x05",
                          "1.0.0", "1", "Containment", "true", "\x05"})
      msg->appendField(f);
  }
  msg->appendField("Create");
  msg->appendField("\x05");
  return msg;
}

BusObjSpec* newSpec(const std::string& name, const std::vector<std::string>& attrs = {"Id"}) {
  std::unique_ptr<StringMessage> msg = specMessage(name, attrs);
  return new BusObjSpec(*msg);
}

std::string specText(const std::string& name, const std::vector<std::string>& attrs = {"Id"}) {
  return specMessage(name, attrs)->toString();
}

TEST(BusObjSpecDirectoryTest, OneSpecPerNameWhateverTheVersion) {
  Agent agent;
  agent.init();
  BusObjSpecDirectory dir;
  BusObjSpec* a = newSpec("A");
  BusObjSpec* b = newSpec("B");
  dir.insert(*a);
  dir.insert(*b);
  KyVersion v(9, 9, 9);
  EXPECT_EQ(a, dir.find("A"));
  EXPECT_EQ(a, dir.find("A", "7.0.0"));
  EXPECT_EQ(a, dir.find("A", v));
  EXPECT_EQ(nullptr, dir.find("Never"));
  EXPECT_EQ(nullptr, dir.find(nullptr));
  EXPECT_EQ(a, dir.getItemList(StringHash("A")));

  // A newer spec replaces the older, which stays usable.
  BusObjSpec* a2 = newSpec("A", {"Id", "Name"});
  dir.insert(*a2);
  EXPECT_EQ(a2, dir.find("A"));
  EXPECT_STREQ("A", a->getName());
  EXPECT_EQ(1, a->getAttributeCount());
  EXPECT_EQ(2u, dir.size());

  dir.deleteBusObj("B", "1.0.0");
  EXPECT_EQ(nullptr, dir.find("B"));
  EXPECT_STREQ("B", b->getName()) << "removed specs stay alive";
  dir.insert(*b);
  dir.deleteBusObj("B", v);
  EXPECT_EQ(nullptr, dir.find("B"));

  BusObjSpec* c = newSpec("C");
  dir.update(*a2, *c);
  EXPECT_EQ(nullptr, dir.find("A"));
  EXPECT_EQ(c, dir.find("C"));
  dir.insert(*c);  // the same spec twice is still deleted once
  EXPECT_EQ(1u, dir.size());
}

TEST(BusObjSpecDirectoryTest, TheVeneerUsesTheProcessDirectory) {
  Agent agent;
  agent.init();
  BusObjSpecDirectory* global = BusObjSpecDirectory::getTheBusObjSpecDirectory();
  EXPECT_EQ(&BusObjSpecDirectory::theBusObjSpecDirectory, global);
  EXPECT_EQ(global, JToCPPVeneer::getTheHandlerStuff()->getTheDirectory());
}

TEST(BusObjSpecDirectoryTest, TheProcessDirectoryCanBeMadeACopyOfAnother) {
  Agent agent;
  agent.init();
  agent.gotBusObjSpec(specText("WasFiled"));
  BusObjSpecDirectory* process = BusObjSpecDirectory::getTheBusObjSpecDirectory();
  BusObjSpec* wasFiled = process->find("WasFiled");
  ASSERT_NE(nullptr, wasFiled);

  // The source outlives every use of its specs: it lives as long as the process.
  static BusObjSpecDirectory* source = new BusObjSpecDirectory();
  BusObjSpec* a = newSpec("CopiedA", {"Id", "Name"});
  BusObjSpec* b = newSpec("CopiedB");
  source->insert(*a);
  source->insert(*b);
  BusObjSpecDirectory::setTheBusObjSpecDirectory(*process);  // itself: nothing changes
  EXPECT_EQ(wasFiled, process->find("WasFiled"));

  BusObjSpecDirectory::setTheBusObjSpecDirectory(*source);
  EXPECT_EQ(2u, process->size());
  EXPECT_EQ(a, process->find("CopiedA")) << "the very spec objects are shared";
  EXPECT_EQ(b, process->find("CopiedB", "9.9.9"));
  EXPECT_EQ(nullptr, process->find("WasFiled")) << "exactly the other's entries";
  EXPECT_STREQ("WasFiled", wasFiled->getName()) << "the unfiled spec is still alive";
  // Objects are built from the copied entries.
  BusinessObject bo("CopiedA");
  EXPECT_EQ(a, bo.getSpecFor());
  EXPECT_EQ(2, bo.getAttrCount());

  // The keys are the directory's own: removing from one leaves the other whole.
  process->deleteBusObj("CopiedA", nullptr);
  EXPECT_EQ(nullptr, process->find("CopiedA"));
  EXPECT_EQ(a, source->find("CopiedA"));
  source->deleteBusObj("CopiedB", nullptr);
  EXPECT_EQ(b, process->find("CopiedB"));

  // Filing into the process directory afterwards works as before, and an empty source empties it.
  agent.gotBusObjSpec(specText("FiledAfter"));
  ASSERT_NE(nullptr, process->find("FiledAfter"));
  static BusObjSpecDirectory* empty = new BusObjSpecDirectory();
  BusObjSpecDirectory::setTheBusObjSpecDirectory(*empty);
  EXPECT_EQ(0u, process->size());
}

TEST(BusObjSpecListTest, WalksEachSpecOnceAndDeletesWhatItStillHolds) {
  Agent agent;
  agent.init();
  BusObjSpecDirectory dir;
  BusObjSpec* owned = newSpec("Owned");
  dir.insert(*owned);
  {
    BusObjSpecList list;
    BusObjSpec* l1 = newSpec("L1");
    BusObjSpec* l2 = newSpec("L2");
    BusObjSpec* l3 = newSpec("L3");
    std::set<BusObjSpec*> put = {l1, l2, l3};
    for (BusObjSpec* s : put) list.insert(*s);
    list.insert(*owned);
    list.removeItem(StringHash("Owned"));  // not the list's to delete
    std::set<BusObjSpec*> seen;
    for (BusObjSpec* s = list.firstValue(); s != nullptr; s = list.nextValue())
      EXPECT_TRUE(seen.insert(s).second);
    EXPECT_EQ(put, seen);
    EXPECT_EQ(nullptr, list.nextValue());
    EXPECT_EQ(l1, list.find("L1"));
    EXPECT_EQ(l1, list.find("L1", "0.0.1"));
    KyVersion v(1, 0, 0);
    EXPECT_EQ(l1, list.find("L1", v));
    BusObjSpec* l4 = newSpec("L4");
    list.update(*l1, *l4);
    EXPECT_EQ(nullptr, list.find("L1"));
    EXPECT_EQ(l4, list.getItem(StringHash("L4")));
    delete l1;  // out of the list: the caller's again
    list.deleteBusObj("L2", v);
    delete l2;
    EXPECT_EQ(2u, list.size());
    list.insert(*l3);
    EXPECT_EQ(2u, list.size());
  }  // the list deletes L3 and L4
  EXPECT_STREQ("Owned", dir.find("Owned")->getName());
}

TEST(GotBusObjSpecTest, SpecsAreFiledWithTheConnectorsHandler) {
  Agent agent;
  agent.init();
  vyTestConnectorReset();
  agent.gotBusObjSpec(specText("GotCustomer", {"Id", "Name"}));
  BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find("GotCustomer");
  ASSERT_NE(nullptr, spec);
  EXPECT_EQ(2, spec->getAttributeCount());
  EXPECT_EQ(1, vyTestConnectorCalls(vytest::kHandler));
  BOHandlerCPP* handler = spec->getMyBOHandler();
  ASSERT_NE(nullptr, handler);
  EXPECT_EQ(JToCPPVeneer::getTheHandlerStuff()->getTheSubHandler(), handler->getTheSubHandler());

  // Re-announced: the newer spec is found, the older one stays alive for its users.
  agent.gotBusObjSpec(specText("GotCustomer", {"Id"}));
  BusObjSpec* newer = BusObjSpecDirectory::theBusObjSpecDirectory.find("GotCustomer");
  ASSERT_NE(nullptr, newer);
  EXPECT_NE(spec, newer);
  EXPECT_EQ(1, newer->getAttributeCount());
  EXPECT_EQ(2, spec->getAttributeCount());
  EXPECT_STREQ("Name", spec->getAttribute(1)->getName());

  Agent::setProperty("Test.NoHandler", "true");
  agent.gotBusObjSpec(specText("GotNoHandler"));
  Agent::setProperty("Test.NoHandler", nullptr);
  BusObjSpec* orphan = BusObjSpecDirectory::theBusObjSpecDirectory.find("GotNoHandler");
  ASSERT_NE(nullptr, orphan);
  EXPECT_EQ(nullptr, orphan->getMyBOHandler());

  // Non-ASCII names and texts arrive whole (lengths count UTF-16 units on both sides).
  std::unique_ptr<StringMessage> wideText = specMessage("Gót✓\xF0\x9F\x98\x80", {"Zü"});
  agent.gotBusObjSpec16(std::u16string(reinterpret_cast<const char16_t*>(wideText->toUTF16String()),
                                       wideText->getCurrentUTF16Size()));
  BusObjSpec* wide = BusObjSpecDirectory::theBusObjSpecDirectory.find("Gót✓\xF0\x9F\x98\x80");
  ASSERT_NE(nullptr, wide) << (agent.logs().empty() ? "" : agent.logs().back().text);
  EXPECT_STREQ("Zü", wide->getAttribute(0)->getName());
}

TEST(GotBusObjSpecTest, MalformedTextsAreLoggedAndNotFiled) {
  Agent agent;
  agent.init();
  agent.gotBusObjSpec(specText("GotGood"));
  BusObjSpec* good = BusObjSpecDirectory::theBusObjSpecDirectory.find("GotGood");
  ASSERT_NE(nullptr, good);
  std::string whole = specText("GotGood", {"Id", "Other"});
  std::vector<std::string> bad = {
      whole.substr(0, whole.size() - 5),  // truncated
      "",                                 // nothing
      "99\x03"
      "BusObjSpec",  // length past the end
      "10\x03"
      "BusObjSpec7\x03"
      "4.2.0.0"
      "7\x03GotGood5\x03"
      "1.0.0"
      "1\x03\x05"
      "7\x03"
      "5000000"
      "1\x03"
      "0",  // a count of millions
  };
  for (const std::string& text : bad) {
    agent.clearRecords();
    agent.gotBusObjSpec(text);
    EXPECT_EQ(good, BusObjSpecDirectory::theBusObjSpecDirectory.find("GotGood")) << text.size();
    EXPECT_TRUE(agent.logged("Business object spec not filed")) << text.size();
  }
}

TEST(GotBusObjSpecTest, LookupsRunWhileSpecsAreReannounced) {
  Agent agent;
  agent.init();
  agent.gotBusObjSpec(specText("GotBusy"));
  std::string text = specText("GotBusy", {"Id", "Name"});
  std::atomic<bool> stop{false};
  std::atomic<long> lookups{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 2; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        BusObjSpec* s = BusObjSpecDirectory::theBusObjSpecDirectory.find("GotBusy");
        ASSERT_NE(nullptr, s);
        // A spec in use stays readable even after it has been replaced.
        EXPECT_STREQ("Id", s->getAttribute(0)->getName());
        EXPECT_TRUE(s->isVerbSupported("Create"));
        ++lookups;
      }
    });
  }
  // At least 200 filings, and on until the readers have overlapped them for a while (filing is
  // quick without the JVM, and a busy machine may not have scheduled the readers yet).
  for (int i = 0; i < 200 || (lookups.load() < 1000 && i < 1000000); ++i) agent.gotBusObjSpec(text);
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_GT(lookups.load(), 0);
  EXPECT_EQ(2, BusObjSpecDirectory::theBusObjSpecDirectory.find("GotBusy")->getAttributeCount());
}

}  // namespace
