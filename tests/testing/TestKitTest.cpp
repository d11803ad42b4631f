// The test kit itself, driving the scriptable test connector: what a connector author relies on
// when a test goes wrong (errors, thrown exceptions, bad texts) and the data it reads back.
#include <gtest/gtest.h>

#include <string>

#include "VyTesting.hpp"

namespace {

using vy::testing::Connector;
using vy::testing::Error;
using vy::testing::Object;

const char kSpec[] = R"(
# The test connector serves any type.
type KitCustomer 1.0.0
  text "a customer"
  attr Id String key
  attr Name String
  attr Note String
  attr Tags KitTag card=n
  attr Owner KitTag
  attr ObjectEventId String
  verb Create
  verb Update
end
type KitTag
  attr Tag String key
  verb Create
end
)";

std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "<no error>";
}

class TestKitTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    conn_ = GetParam() ? Connector::inJvm(VY_CONNECTOR_LIBRARY, {"", {"-Xcheck:jni"}})
                       : Connector::inProcess(VY_CONNECTOR_LIBRARY);
  }
  void startWith(const std::string& name = "", const std::string& value = "") {
    if (!name.empty()) conn_->setProperty(name, value);
    ASSERT_EQ(0, conn_->start()) << conn_->lastError();
    conn_->announce(kSpec);
  }
  std::unique_ptr<Connector> conn_;
};

TEST_P(TestKitTest, RequestsComeBackAsTheConnectorLeftThem) {
  conn_->setProperty("Test.Verb.SetAttr", "1=changed");
  startWith();
  Object sent("KitCustomer", "Create");
  sent.set("Id", "1").blank("Note").set("Name", "with \"quotes\"\tand tab");
  sent.add("Tags", Object("KitTag", "Create").set("Tag", "a"));
  sent.add("Tags", Object("KitTag", "Create").set("Tag", "b"));
  sent.add("Owner", Object("KitTag", "Create").set("Tag", "o"));
  vy::testing::Result r = conn_->request(sent);
  ASSERT_EQ(1, r.status) << r.error;
  ASSERT_TRUE(r.object);
  EXPECT_EQ("changed", r.object->value("Name"));
  EXPECT_EQ("", r.object->value("Note")) << "blank stays blank";
  EXPECT_FALSE(r.object->value("ObjectEventId")) << "ignored stays ignored";
  EXPECT_EQ("b", r.object->value("Tags[1].Tag"));
  EXPECT_EQ("o", r.object->value("Owner.Tag"));
  EXPECT_EQ(nullptr, r.object->child("Tags[2]"));
  EXPECT_FALSE(r.object->value("Tags[9].Tag"));

  // The readable text of an object reads back to the same object.
  Object again = Connector::parseObject(sent.text());
  EXPECT_EQ(sent.text(), again.text());
  EXPECT_EQ("with \"quotes\"\tand tab", again.value("Name"));
}

TEST_P(TestKitTest, FailuresCarryTheConnectorsTextAndKeepNoObject) {
  conn_->setProperty("Test.Verb.Result", "-1");
  conn_->setProperty("Test.Verb.Error", "the application said no");
  startWith();
  vy::testing::Result r = conn_->request("object KitCustomer verb=Create\n  Id = 1\nend\n");
  EXPECT_EQ(-1, r.status);
  EXPECT_NE(std::string::npos, r.error.find("the application said no")) << r.error;
  EXPECT_FALSE(r.object);
}

TEST_P(TestKitTest, WhatTheConnectorThrowsReachesTheTest) {
  conn_->setProperty("Test.Throw.verb", "string");
  conn_->setProperty("Test.Throw.poll", "int");
  startWith();
  vy::testing::Result r = conn_->request(Object("KitCustomer", "Create").set("Id", "1"));
  EXPECT_EQ(-1, r.status);
  EXPECT_EQ(-1, conn_->poll());
  // Both modes: in the JVM the entry points put what was thrown on the status and in the log.
  EXPECT_NE(std::string::npos, r.error.find("connector string failure")) << r.error;
  EXPECT_NE(std::string::npos, conn_->lastError().find("the int 7")) << conn_->lastError();
  EXPECT_FALSE(conn_->logs().empty()) << "the failure is logged";
}

TEST_P(TestKitTest, EventsFromAnyThreadAreCollectedWithTheirVerb) {
  conn_->setProperty("Test.Events.Count", "3");
  conn_->setProperty("Test.Events.Type", "KitCustomer");
  conn_->setProperty("Test.Events.Verb", "Update");
  conn_->setProperty("Test.Events.Values", "42,Ann");
  conn_->setProperty("Test.Events.Thread", "native");
  startWith();
  EXPECT_EQ(0, conn_->poll());
  EXPECT_TRUE(conn_->events().empty()) << "nothing is delivered without a subscription";
  ASSERT_EQ(0, conn_->subscribe("KitCustomer", "Update"));
  EXPECT_EQ(0, conn_->poll());
  std::vector<Object> events = conn_->events();
  ASSERT_EQ(3u, events.size());
  EXPECT_EQ("Update", events[2].verb());
  EXPECT_EQ("Ann", events[2].value("Name"));
  EXPECT_TRUE(conn_->events().empty()) << "events are handed out once";
  conn_->unsubscribe("KitCustomer", "Update");
  EXPECT_EQ(0, conn_->poll());
  EXPECT_TRUE(conn_->events().empty());
}

TEST_P(TestKitTest, TheConnectorStopsAndStartsAgain) {
  startWith("Test.InitResult", "0");
  EXPECT_EQ("9.9.9", conn_->version());
  EXPECT_EQ(0, conn_->stop());
  EXPECT_FALSE(conn_->running());
  EXPECT_EQ(-1, conn_->stop());
  EXPECT_EQ(0, conn_->start());
  conn_->announce(kSpec);
  EXPECT_EQ(1, conn_->request(Object("KitCustomer", "Create").set("Id", "2")).status);
}

TEST_P(TestKitTest, MalformedTextsNameTheLineAndTheReason) {
  startWith();
  EXPECT_NE(std::string::npos, errorOf([&] {
                                 conn_->announce("type A\n  attr X String weird\nend\n");
                               }).find("line 2: unknown attribute flag \"weird\""));
  EXPECT_NE(std::string::npos, errorOf([&] { conn_->announce("type A\n"); }).find("no \"end\""));
  EXPECT_NE(std::string::npos,
            errorOf([&] { conn_->announce("type A\n  attr Id Strin key\nend\n"); })
                .find("line 2: attribute Id of A: unknown type Strin"));
  EXPECT_NE(std::string::npos,
            errorOf([&] { conn_->announce("type A 1.x\nend\n"); }).find("line 1: version"));
  EXPECT_NE(std::string::npos,
            errorOf([&] {
              conn_->request(
                  "object KitCustomer verb=Create\n  Tags = object KitCustomer\n  "
                  "end\nend\n");
            }).find("Tags holds KitTag, not KitCustomer"));
  EXPECT_NE(std::string::npos, errorOf([&] {
                                 conn_->request("object KitCustomer\n  Name = \"open\nend\n");
                               }).find("line 2: unterminated"));
  EXPECT_NE(std::string::npos, errorOf([&] {
                                 conn_->request(Object("KitCustomer", "Create").set("Nope", "1"));
                               }).find("no attribute Nope"));
  EXPECT_NE(std::string::npos, errorOf([&] { conn_->request(""); }).find("no object"));
}

INSTANTIATE_TEST_SUITE_P(BothModes, TestKitTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Jvm" : "InProcess";
                         });

}  // namespace
