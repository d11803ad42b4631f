// The SQLite connector tested the way an author tests a connector: with the test kit, in-process
// (no JVM) and through the real entry points in a JVM, the same test for both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "VyTesting.hpp"

namespace {

using vy::testing::Connector;
using vy::testing::Object;
using vy::testing::Result;

const char kSpecs[] = R"(
type KtOrder 1.0.0
  attr OrderId String key max=20
  attr Status String default=Open
  attr Lines KtLine card=n
  attr Customer KtCustomer
  verb Create
  verb Retrieve
  verb Update
  verb Delete
end
type KtLine 1.0.0
  attr LineId String key
  attr Product String
  verb Create
  verb Retrieve
  verb Update
  verb Delete
end
type KtCustomer 1.0.0
  attr CustomerId String key
  attr Name String
  verb Create
  verb Retrieve
  verb Update
  verb Delete
end
)";

const char kCreate[] = R"(
object KtOrder verb=Create
  OrderId = 17
  Status = Open
  Lines = object KtLine verb=Create
    LineId = 1
    Product = Tea
  end
  Lines = object KtLine verb=Create
    LineId = 2
    Product = "Cups and saucers"
  end
  Customer = object KtCustomer verb=Create
    CustomerId = C-7
    Name = O'Brien
  end
end
)";

class SqliteKitTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    db_ = "/tmp/vy-sqlite-kit-" + std::to_string(::getpid()) + (GetParam() ? "-jvm" : "-native") +
          ".db";
    std::remove(db_.c_str());
    conn_ = GetParam() ? Connector::inJvm(VY_CONNECTOR_LIBRARY, {"", {"-Xcheck:jni"}})
                       : Connector::inProcess(VY_CONNECTOR_LIBRARY);
    conn_->setProperty("DatabasePath", db_);
    ASSERT_EQ(0, conn_->start()) << conn_->lastError();
    conn_->announce(kSpecs);
  }

  void TearDown() override {
    conn_.reset();
    std::remove(db_.c_str());
  }

  Result retrieve(const std::string& id) {
    return conn_->request(Object("KtOrder", "Retrieve").set("OrderId", id));
  }

  std::string db_;
  std::unique_ptr<Connector> conn_;
};

TEST_P(SqliteKitTest, CreateThenRetrieveGivesTheWholeTreeBack) {
  Result created = conn_->request(kCreate);
  ASSERT_EQ(1, created.status) << created.error;

  Result r = retrieve("17");
  ASSERT_EQ(1, r.status) << r.error;
  ASSERT_TRUE(r.object.has_value());
  EXPECT_EQ("Open", r.object->value("Status"));
  EXPECT_EQ(2u, r.object->count("Lines"));
  EXPECT_EQ("Cups and saucers", r.object->value("Lines[1].Product"));
  EXPECT_EQ("O'Brien", r.object->value("Customer.Name"));

  Result again = conn_->request(kCreate);
  EXPECT_EQ(-1, again.status) << "a second Create of the same key is refused";
  EXPECT_FALSE(again.error.empty());
}

TEST_P(SqliteKitTest, UpdateAndDeleteChangeWhatRetrieveSees) {
  ASSERT_EQ(1, conn_->request(kCreate).status);
  Object update("KtOrder", "Update");
  update.set("OrderId", "17").set("Status", "Shipped");
  update.add("Lines", Object("KtLine", "Update").set("LineId", "1").set("Product", "Green tea"));
  Result u = conn_->request(update);
  ASSERT_EQ(1, u.status) << u.error;
  Result r = retrieve("17");
  ASSERT_EQ(1, r.status) << r.error;
  EXPECT_EQ("Shipped", r.object->value("Status"));
  EXPECT_EQ(1u, r.object->count("Lines")) << "an after-image drops the lines it leaves out";
  EXPECT_EQ("Green tea", r.object->value("Lines.Product"));

  ASSERT_EQ(1, conn_->request(Object("KtOrder", "Delete").set("OrderId", "17")).status);
  EXPECT_NE(1, retrieve("17").status);
}

TEST_P(SqliteKitTest, SubscribedEventsArriveOnPoll) {
  ASSERT_EQ(0, conn_->subscribe("KtOrder"));
  ASSERT_EQ(1, conn_->request(kCreate).status);
  EXPECT_GE(conn_->poll(), 0) << conn_->lastError();
  std::vector<Object> events = conn_->events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("KtOrder", events[0].type());
  EXPECT_EQ("Create", events[0].verb());
  EXPECT_EQ("17", events[0].value("OrderId"));
  EXPECT_EQ(0, conn_->poll());
  EXPECT_TRUE(conn_->events().empty()) << "an event the agent took is delivered once";
}

TEST_P(SqliteKitTest, BlankIgnoredAndGeneratedKeysComeBackAsTheyWere) {
  Object order("KtOrder", "Create");
  order.blank("OrderId").set("Status", "Open");
  order.add("Lines", Object("KtLine", "Create").blank("LineId").blank("Product"));
  order.add("Lines", Object("KtLine", "Create").set("LineId", "x").set("Product", "Tea"));
  order.add("Customer", Object("KtCustomer", "Create").set("CustomerId", "C-1"));
  Result created = conn_->request(order);
  ASSERT_EQ(1, created.status) << created.error;
  std::optional<std::string> id = created.object->value("OrderId");
  ASSERT_TRUE(id && !id->empty()) << "a blank key is generated and written back";
  EXPECT_FALSE(created.object->value("Lines[0].LineId").value_or("").empty());

  Result r = retrieve(*id);
  ASSERT_EQ(1, r.status) << r.error;
  ASSERT_EQ(2u, r.object->count("Lines"));
  EXPECT_EQ(created.object->value("Lines[0].LineId"), r.object->value("Lines[0].LineId"));
  EXPECT_EQ(std::optional<std::string>(""), r.object->value("Lines[0].Product")) << "blank";
  EXPECT_EQ("Tea", r.object->value("Lines[1].Product")) << "children keep their order";
  EXPECT_EQ(std::nullopt, r.object->value("Customer.Name")) << "ignored stays ignored";
}

TEST_P(SqliteKitTest, UpdateMatchesChildrenByKeyAndReplacesTheSingleChild) {
  ASSERT_EQ(1, conn_->request(kCreate).status);
  Object update("KtOrder", "Update");
  update.set("OrderId", "17");
  update.add("Lines", Object("KtLine", "Update").set("LineId", "3").set("Product", "Milk"));
  update.add("Lines", Object("KtLine", "Update").set("LineId", "2").set("Product", "Cups"));
  update.add("Customer", Object("KtCustomer", "Update").set("CustomerId", "C-8"));
  Result u = conn_->request(update);
  ASSERT_EQ(1, u.status) << u.error;
  EXPECT_EQ(2u, u.object->count("Lines")) << "the answer holds the stored tree";

  Result r = retrieve("17");
  ASSERT_EQ(1, r.status) << r.error;
  ASSERT_EQ(2u, r.object->count("Lines")) << "line 1 left out is deleted, line 3 created";
  EXPECT_EQ("3", r.object->value("Lines[0].LineId"));
  EXPECT_EQ("Cups", r.object->value("Lines[1].Product"));
  EXPECT_EQ("C-8", r.object->value("Customer.CustomerId"));
  EXPECT_EQ(std::nullopt, r.object->value("Customer.Name"));
  EXPECT_EQ("Open", r.object->value("Status")) << "an ignored value is left as stored";
}

TEST_P(SqliteKitTest, DeltaUpdatesAndMissingObjectsFailOrSucceedWithTheirText) {
  ASSERT_EQ(1, conn_->request(kCreate).status);
  conn_->setDeltaSupport("KtOrder", true);
  Object delta("KtOrder", "Update");
  delta.set("OrderId", "17").set("Status", "Packed").setDelta(true);
  Result d = conn_->request(delta);
  ASSERT_EQ(1, d.status) << d.error;
  Result r = retrieve("17");
  EXPECT_EQ("Packed", r.object->value("Status"));
  EXPECT_EQ(2u, r.object->count("Lines")) << "a delta keeps the children it leaves out";

  Object missing("KtOrder", "Update");
  missing.set("OrderId", "nope").set("Status", "x").setDelta(true);
  Result m = conn_->request(missing);
  EXPECT_EQ(-1, m.status);
  EXPECT_NE(std::string::npos, m.error.find("KtOrder [OrderId=nope]: Retrieve failed: no such"))
      << m.error;

  Result gone = retrieve("nope");
  EXPECT_EQ(-1, gone.status);
  EXPECT_FALSE(gone.object.has_value()) << "a failure keeps the agent's request";
  EXPECT_NE(std::string::npos, gone.error.find("Retrieve failed: no such object")) << gone.error;
  EXPECT_TRUE(conn_->logged("KtOrder [OrderId=nope]: Retrieve failed"));
}

TEST_P(SqliteKitTest, TheKitSaysWhatIsWrongWithItsInput) {
  try {
    conn_->request("object KtOrder verb=Create\n  Nope = 1\nend\n");
    FAIL() << "an unknown attribute is refused";
  } catch (const vy::testing::Error& e) {
    EXPECT_NE(std::string::npos, std::string(e.what()).find("line 2")) << e.what();
    EXPECT_NE(std::string::npos, std::string(e.what()).find("Nope")) << e.what();
  }
  EXPECT_THROW(conn_->request("object NoSuchType verb=Create\nend\n"), vy::testing::Error);
  EXPECT_THROW(conn_->announce("type Broken 1.0.0\n  attr X String max=0\nend\n"),
               vy::testing::Error);
}

INSTANTIATE_TEST_SUITE_P(BothModes, SqliteKitTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Jvm" : "InProcess";
                         });

}  // namespace
