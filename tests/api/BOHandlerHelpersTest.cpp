// The handler base's delta work (retrieve, then update of the after image) and best-effort
// processing of transaction objects, driven by a scripted handler registered on real specs.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NativeAgent.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

const char* const kMarker = "\x05";  // the empty text of the spec format

std::vector<std::string> simpleAttr(const std::string& name, bool key = false) {
  return {name,    "String", key ? "true" : "false",
          "false", "false",  kMarker,
          "255",   kMarker,  "1.0.0",
          "1",     kMarker,  "false",
          kMarker};
}

std::u16string specText(const std::string& name, const std::vector<std::string>& attrs,
                        const std::vector<std::string>& verbs) {
  std::vector<std::string> f = {"BusObjSpec", "4.2.0.0", name, "1.0.0", kMarker};
  f.push_back(std::to_string(attrs.size()));
  f.push_back(std::to_string(verbs.size()));
  for (const std::string& a : attrs)
    for (const std::string& field : simpleAttr(a, a == "Id")) f.push_back(field);
  for (const std::string& v : verbs) {
    f.push_back(v);
    f.push_back(kMarker);
  }
  return vytest::wire(f);
}

// Attributes of the test type: Id (key), Name, Qty, Note.
const std::vector<std::string> kAttrs = {"Id", "Name", "Qty", "Note"};

std::vector<std::string> objFields(const std::string& type, bool delta, const std::string& verb,
                                   const std::vector<std::string>& values) {
  std::vector<std::string> f = {
      "BusinessObject",         "4.2.0.0", type,    "1.0.0",
      delta ? "true" : "false", verb,      "en_US", std::to_string(values.size())};
  f.insert(f.end(), values.begin(), values.end());
  return f;
}

std::vector<std::string> txFields(const std::string& type, const std::string& verb,
                                  const std::vector<std::string>& values,
                                  const std::vector<std::string>& refs) {
  std::vector<std::string> f = objFields(type, false, verb, values);
  std::vector<std::string> t = {"TransactionBusinessObject", "4.2.0.0", type, "1.0.0", verb,
                                std::to_string(refs.size())};
  f.insert(f.end(), t.begin(), t.end());
  f.insert(f.end(), refs.begin(), refs.end());
  return f;
}

std::string text(BusinessObject& bo, int index) {
  void* v = bo.getAttrValue(index);
  return v == nullptr ? "<ignore>" : static_cast<const char*>(v);
}

struct Seen {
  std::string verb;
  unsigned int delta;
  std::vector<std::string> values;
};

// Records every request and answers per verb: a result and attribute values to store.
class ScriptHandler : public BOHandlerCPP {
 public:
  std::map<std::string, int> results;
  std::map<std::string, std::map<int, std::string>> sets;
  std::vector<Seen> seen;

  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor*) override {
    std::string verb = bo.getVerb() ? bo.getVerb() : "<none>";
    Seen s{verb, bo.isDelta(), {}};
    for (int i = 0; i < bo.getAttrCount(); ++i) s.values.push_back(text(bo, i));
    seen.push_back(s);
    for (auto& [index, value] : sets[verb]) bo.setAttrValue(index, value.c_str(), 5);
    auto r = results.find(verb);
    return r == results.end() ? 1 : r->second;
  }
};

class BOHandlerHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Agent::setProperty("ConnectorName", "HelperConn");
    agent.init();
    announce("HlpItem", {"Create", "Retrieve", "Update", "Delete"});
    announce("HlpNoRetrieve", {"Create", "Update", "Delete"});
  }

  void TearDown() override {
    for (const char* name : {"HlpItem", "HlpNoRetrieve"})
      if (BusObjSpec* spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(name))
        spec->setMyBOHandler(nullptr);
  }

  void announce(const std::string& name, const std::vector<std::string>& verbs) {
    agent.gotBusObjSpec16(specText(name, kAttrs, verbs));
    BusObjSpec* spec = BusObjSpecDirectory::getTheBusObjSpecDirectory()->find(name.c_str());
    ASSERT_NE(nullptr, spec);
    spec->setMyBOHandler(&handler);
  }

  // The object (a BusinessObject or TransactionBusinessObject) read from `fields`; it must read.
  template <class T = BusinessObject>
  std::unique_ptr<T> read(const std::vector<std::string>& fields) {
    std::u16string w = vytest::wire(fields);
    StringMessage m(reinterpret_cast<const unsigned short*>(w.c_str()));
    std::unique_ptr<T> bo(new T(m));
    EXPECT_NE(nullptr, bo->getSpecFor()) << (bo->getReadError() ? bo->getReadError() : "");
    return bo;
  }

  Agent agent;
  ScriptHandler handler;
};

// ---- delta work ----

TEST_F(BOHandlerHelpersTest, DeltaUpdateWithoutDeltaSupportRetrievesThenUpdatesTheAfterImage) {
  auto bo = read(objFields("HlpItem", true, "Update", {"7", "KyIgnore", "5", "KyIgnore"}));
  handler.sets["Retrieve"] = {{1, "Stored"}, {2, "1"}, {3, "kept"}};
  handler.results["Update"] = -5;
  ReturnStatusDescriptor status;
  EXPECT_EQ(-5, bo->doVerbFor(&status));

  ASSERT_EQ(2u, handler.seen.size());
  EXPECT_EQ("Retrieve", handler.seen[0].verb);
  EXPECT_EQ(0u, handler.seen[0].delta) << "the retrieve works on an after image";
  EXPECT_EQ("7", handler.seen[0].values[0]);
  EXPECT_EQ("Update", handler.seen[1].verb);
  EXPECT_EQ(0u, handler.seen[1].delta);
  EXPECT_EQ((std::vector<std::string>{"7", "Stored", "5", "kept"}), handler.seen[1].values)
      << "retrieved values with the delta's changes applied";

  EXPECT_EQ(0u, bo->isDelta());
  EXPECT_EQ("Stored", text(*bo, 1));
  EXPECT_EQ("5", text(*bo, 2));
  EXPECT_EQ("kept", text(*bo, 3));
  EXPECT_EQ(nullptr, status.getErrorMsg());
  EXPECT_TRUE(agent.messagesNumbered(17115).empty());
}

TEST_F(BOHandlerHelpersTest, FailedRetrieveLogs17115AsUnknownAndLeavesTheObjectAlone) {
  auto bo = read(objFields("HlpItem", true, "Update", {"7", "KyIgnore", "5", "KyIgnore"}));
  handler.results["Retrieve"] = -3;
  handler.sets["Retrieve"] = {{2, "changed"}};
  ReturnStatusDescriptor status;
  EXPECT_EQ(-3, bo->doVerbFor(&status));
  ASSERT_EQ(1u, handler.seen.size());
  EXPECT_EQ(1u, bo->isDelta());
  EXPECT_EQ("5", text(*bo, 2));
  EXPECT_EQ("<ignore>", text(*bo, 1));

  auto msgs = agent.messagesNumbered(17115);
  ASSERT_EQ(1u, msgs.size());
  EXPECT_EQ(KyMsgFormat::MLV_ERROR, msgs[0].type);
  EXPECT_EQ(0, msgs[0].set) << "the connector's message set";
  EXPECT_EQ("HlpItem", msgs[0].args);
  EXPECT_TRUE(agent.logged("17115: HlpItem"));
  // Logged as MLV_UNKNOWN, it is kept as the first fatal message and so becomes the error text.
  ASSERT_NE(nullptr, status.getErrorMsg());
  EXPECT_NE(std::string::npos, std::string(status.getErrorMsg()).find("17115: HlpItem"));
}

TEST_F(BOHandlerHelpersTest, DeltaSupportTrueHandsTheDeltaItselfToTheHandler) {
  Agent::setDeltaSupport("HlpItem", "true");
  auto bo = read(objFields("HlpItem", true, "Update", {"7", "KyIgnore", "5", "KyIgnore"}));
  ReturnStatusDescriptor status;
  EXPECT_EQ(1, bo->doVerbFor(&status));
  ASSERT_EQ(1u, handler.seen.size());
  EXPECT_EQ("Update", handler.seen[0].verb);
  EXPECT_EQ(1u, handler.seen[0].delta);
  EXPECT_EQ(1, handler.doDeltaCheck(bo.get()));
  Agent::setDeltaSupport("HlpItem", "TRUE");
  EXPECT_EQ(0, handler.doDeltaCheck(bo.get()));
  EXPECT_EQ(0, handler.doDeltaCheck(nullptr));
}

TEST_F(BOHandlerHelpersTest, DeltaOfATypeWithoutRetrieveIsNeverWrittenAsAComplete) {
  auto bo = read(objFields("HlpNoRetrieve", true, "Update", {"7", "KyIgnore", "5", "KyIgnore"}));
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, bo->doVerbFor(&status));
  EXPECT_TRUE(handler.seen.empty()) << "the partial image must not reach the application";
  EXPECT_EQ(1u, agent.messagesNumbered(17115).size());
  EXPECT_EQ(1u, bo->isDelta());
}

// ---- best effort ----

TEST_F(BOHandlerHelpersTest, BestEffortRetrieveOfMinus5Logs17057AndGoesOn) {
  auto tbo =
      read<TransactionBusinessObject>(txFields("HlpItem", "Update", {"7", "Mine", "5", "KyIgnore"},
                                               {"KyIgnore", "Ref", "KyIgnore", "KyIgnore"}));
  handler.results["Retrieve"] = -5;
  handler.sets["Retrieve"] = {{1, "Ref"}, {2, "100"}};
  handler.sets["Update"] = {{3, "done"}};
  ReturnStatusDescriptor status;
  EXPECT_EQ(1, tbo->doVerbFor(&status));

  ASSERT_EQ(2u, handler.seen.size());
  EXPECT_EQ("Retrieve", handler.seen[0].verb);
  EXPECT_EQ("Update", handler.seen[1].verb);
  EXPECT_EQ((std::vector<std::string>{"7", "Mine", "5", "<ignore>"}), handler.seen[1].values)
      << "the work object is the transaction's own values";
  EXPECT_EQ("done", text(*tbo, 3)) << "the work object's values are copied back";
  EXPECT_EQ("Mine", text(*tbo, 1));

  auto info = agent.messagesNumbered(17057);
  ASSERT_EQ(1u, info.size());
  EXPECT_EQ(KyMsgFormat::MLV_INFO, info[0].type);
  EXPECT_EQ(0, info[0].argCount);
  bool loggedPlain = false;
  for (const vytest::LogLine& l : agent.logs())
    if (l.text.rfind("17057", 0) == 0) loggedPlain = l.severity == -1;
  EXPECT_TRUE(loggedPlain) << "17057 is logged without a severity";
  EXPECT_EQ(nullptr, status.getErrorMsg());
}

TEST_F(BOHandlerHelpersTest, BestEffortFailedRetrieveReturnsItWith17119AsTheErrorText) {
  auto tbo =
      read<TransactionBusinessObject>(txFields("HlpItem", "Delete", {"7", "Mine", "5", "KyIgnore"},
                                               {"KyIgnore", "Ref", "KyIgnore", "KyIgnore"}));
  handler.results["Retrieve"] = -2;
  ReturnStatusDescriptor status;
  EXPECT_EQ(-2, tbo->doVerbFor(&status));
  ASSERT_EQ(1u, handler.seen.size()) << "the verb itself is not performed";
  ASSERT_NE(nullptr, status.getErrorMsg());
  EXPECT_EQ("17119: HelperConn,HlpItem", std::string(status.getErrorMsg()));
  auto failed = agent.messagesNumbered(17118);
  ASSERT_EQ(1u, failed.size());
  EXPECT_EQ("HlpItem", failed[0].args);
  EXPECT_EQ(KyMsgFormat::MLV_ERROR, failed[0].type);
  EXPECT_EQ(0, failed[0].set);
  EXPECT_TRUE(agent.logged("17118: HlpItem"));
  EXPECT_EQ("Mine", text(*tbo, 1));
}

TEST_F(BOHandlerHelpersTest, BestEffortWithDifferingReferenceValuesReturnsMinus1With17117) {
  auto tbo =
      read<TransactionBusinessObject>(txFields("HlpItem", "Update", {"7", "Mine", "5", "KyIgnore"},
                                               {"KyIgnore", "KyIgnore", "KyIgnore", "expected"}));
  handler.sets["Retrieve"] = {{3, "actual"}, {1, "Theirs"}};
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, tbo->doVerbFor(&status));
  ASSERT_EQ(1u, handler.seen.size());
  ASSERT_NE(nullptr, status.getErrorMsg());
  EXPECT_EQ("17117: HelperConn,HlpItem", std::string(status.getErrorMsg()));
  EXPECT_EQ(1u, agent.messagesNumbered(17116).size());
  EXPECT_TRUE(agent.logged("17116: HlpItem"));
  EXPECT_EQ("Mine", text(*tbo, 1)) << "the transaction object keeps its values";
  EXPECT_EQ("<ignore>", text(*tbo, 3));
}

TEST_F(BOHandlerHelpersTest, ConnectorNamesAreCutTo24CharactersInTheErrorTexts) {
  Agent::setProperty("ConnectorName", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  auto tbo =
      read<TransactionBusinessObject>(txFields("HlpItem", "Update", {"7", "Mine", "5", "KyIgnore"},
                                               {"KyIgnore", "Ref", "KyIgnore", "KyIgnore"}));
  handler.sets["Retrieve"] = {{1, "Other"}};
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, tbo->doVerbFor(&status));
  EXPECT_EQ("17117: ABCDEFGHIJKLMNOPQRSTUVWX,HlpItem", std::string(status.getErrorMsg()));

  handler.results["Retrieve"] = -4;
  ReturnStatusDescriptor second;
  EXPECT_EQ(-4, tbo->doVerbFor(&second));
  EXPECT_EQ("17119: ABCDEFGHIJKLMNOPQRSTUVWX,HlpItem", std::string(second.getErrorMsg()));
}

TEST_F(BOHandlerHelpersTest, BestEffortOnATypeWithoutRetrieveNeverPerformsTheVerb) {
  auto tbo = read<TransactionBusinessObject>(
      txFields("HlpNoRetrieve", "Delete", {"7", "Mine", "5", "KyIgnore"},
               {"KyIgnore", "KyIgnore", "KyIgnore", "KyIgnore"}));
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, tbo->doVerbFor(&status));
  EXPECT_TRUE(handler.seen.empty());
  ASSERT_NE(nullptr, status.getErrorMsg());
  EXPECT_EQ("17119: HelperConn,HlpNoRetrieve", std::string(status.getErrorMsg()));
}

TEST_F(BOHandlerHelpersTest, FailedWorkLeavesTheTransactionObjectUnchanged) {
  auto tbo =
      read<TransactionBusinessObject>(txFields("HlpItem", "Update", {"7", "Mine", "5", "KyIgnore"},
                                               {"KyIgnore", "KyIgnore", "KyIgnore", "KyIgnore"}));
  handler.results["Update"] = -1;
  handler.sets["Update"] = {{1, "partial"}};
  ReturnStatusDescriptor status;
  EXPECT_EQ(-1, tbo->doVerbFor(&status));
  EXPECT_EQ(2u, handler.seen.size());
  EXPECT_EQ("Mine", text(*tbo, 1));
}

}  // namespace
