// The modern layer: typed values, children, factories and the throwing handler base, through a
// connector written on it (driven by the test kit in both modes) and directly on objects.
#include <gtest/gtest.h>

#include "VyModern.hpp"
#include "VyTesting.hpp"

namespace {

using vy::testing::Connector;
using vy::testing::Object;

const char kSpecs[] = R"(
type MdOrder
  attr Id String key
  attr Price Double
  attr Paid Boolean
  attr Due Date
  attr State String
  attr Lines MdLine card=n
  attr Main MdLine
  verb Create
  verb Retrieve
  verb Ship
  verb Update
end
type MdLine
  attr Sku String key
  attr Qty Integer
  verb Create
end
)";

Object order(const std::string& id) {
  Object o("MdOrder", "Create");
  o.set("Id", id).set("Price", "12.5").set("Paid", "false").set("Due", "2026-12-24 18:00:00");
  o.add("Lines", Object("MdLine", "Create").set("Sku", "tea").set("Qty", "3"));
  o.add("Lines", Object("MdLine", "Create").set("Sku", "cup").set("Qty", "6"));
  return o;
}

class ModernConnectorTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    conn = GetParam() ? Connector::inJvm(VY_CONNECTOR_LIBRARY, {"", {"-Xcheck:jni"}})
                      : Connector::inProcess(VY_CONNECTOR_LIBRARY);
    ASSERT_EQ(0, conn->start()) << conn->lastError();
    conn->announce(kSpecs);
  }
  std::unique_ptr<Connector> conn;
};

TEST_P(ModernConnectorTest, TypedValuesAndChildrenSurviveTheRoundTrip) {
  ASSERT_EQ(1, conn->request(order("1")).status);
  auto r = conn->request(Object("MdOrder", "Retrieve").set("Id", "1"));
  ASSERT_EQ(1, r.status) << r.error;
  EXPECT_EQ("12.5", r.object->value("Price"));
  EXPECT_EQ("false", r.object->value("Paid"));
  EXPECT_EQ("2026-12-24 18:00:00", r.object->value("Due"));
  ASSERT_EQ(2u, r.object->count("Lines"));
  EXPECT_EQ("6", r.object->value("Lines[1].Qty"));
  EXPECT_EQ("2.0.0", conn->version());
}

TEST_P(ModernConnectorTest, ThrownFailuresBecomeStatusesWithTheirText) {
  Object bad = order("2");
  bad.add("Lines", Object("MdLine", "Create").set("Sku", "x").set("Qty", "0"));
  auto r = conn->request(bad);
  EXPECT_EQ(-3, r.status) << "a VerbError's own status";
  EXPECT_NE(std::string::npos, r.error.find("line quantities are above 0")) << r.error;

  Object malformed = order("3");
  malformed.set("Price", "twelve");
  r = conn->request(malformed);
  EXPECT_EQ(-1, r.status);
  EXPECT_NE(std::string::npos, r.error.find("Price of MdOrder holds \"twelve\", not a number"))
      << r.error;

  r = conn->request(Object("MdOrder", "Update").set("Id", "1"));
  EXPECT_EQ(-1, r.status);
  EXPECT_NE(std::string::npos, r.error.find("does not support Update")) << r.error;
  EXPECT_TRUE(conn->logged("does not support Update"));

  ASSERT_EQ(1, conn->request(order("4")).status);
  r = conn->request(Object("MdOrder", "Ship").set("Id", "4"));
  EXPECT_EQ(-5, r.status) << r.error;
  ASSERT_TRUE(r.object);
  EXPECT_EQ("shipped", r.object->value("State"));
}

TEST_P(ModernConnectorTest, EventsAreMadeAndRaisedInOneCall) {
  ASSERT_EQ(0, conn->subscribe("MdOrder", "Update"));
  ASSERT_EQ(1, conn->request(order("5")).status);
  EXPECT_EQ(0, conn->poll());
  auto events = conn->events();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("Update", events[0].verb());
  EXPECT_EQ("5", events[0].value("Id"));
  EXPECT_EQ(2u, events[0].count("Lines"));
}

INSTANTIATE_TEST_SUITE_P(BothModes, ModernConnectorTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Jvm" : "InProcess"; });

// Directly on objects, with the specs filed by an in-process session.
class ModernValuesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    conn = Connector::inProcess(VY_CONNECTOR_LIBRARY).release();
    ASSERT_EQ(0, conn->start());
    conn->announce(kSpecs);
  }
  static void TearDownTestSuite() {
    delete conn;
    conn = nullptr;
  }
  static Connector* conn;
};
Connector* ModernValuesTest::conn = nullptr;

TEST_F(ModernValuesTest, IgnoredBlankAndTextAreToldApart) {
  auto bo = vy::makeObject("MdOrder", "Create");
  EXPECT_FALSE(vy::text(*bo, "State"));
  EXPECT_TRUE(vy::isIgnored(*bo, "State"));
  vy::set(*bo, "State", "");
  EXPECT_TRUE(vy::isBlank(*bo, "State"));
  EXPECT_EQ("", vy::text(*bo, "State"));
  EXPECT_FALSE(vy::get<long long>(*bo, "State")) << "blank reads as no number";
  vy::set(*bo, "State", "open");
  EXPECT_EQ("open", vy::text(*bo, "State"));
  vy::ignore(*bo, "State");
  EXPECT_TRUE(vy::isIgnored(*bo, "State"));
}

TEST_F(ModernValuesTest, TypedReadsAndWritesConvertExactly) {
  auto bo = vy::makeObject("MdOrder");
  vy::set(*bo, "Price", 0.1);
  EXPECT_EQ(0.1, vy::get<double>(*bo, "Price"));
  vy::set(*bo, "Price", -2.5e300);
  EXPECT_EQ(-2.5e300, vy::require<double>(*bo, "Price"));
  vy::set(*bo, "Id", std::string("9223372036854775807"));
  EXPECT_EQ(9223372036854775807LL, vy::require<long long>(*bo, "Id"));
  EXPECT_THROW(vy::get<int>(*bo, "Id"), vy::AttrError) << "beyond int";
  for (const char* bad : {"12x", " 12", "", "1e999", "nan"}) {
    vy::set(*bo, "Price", bad);
    if (*bad == '\0') continue;
    EXPECT_THROW(vy::get<double>(*bo, "Price"), vy::AttrError) << bad;
  }
  vy::set(*bo, "Paid", true);
  EXPECT_EQ("true", vy::text(*bo, "Paid"));
  vy::set(*bo, "Paid", "maybe");
  EXPECT_THROW(vy::get<bool>(*bo, "Paid"), vy::AttrError);
  vy::set(*bo, "Due", vy::Date{2027, 2, 3, 4, 5, 6});
  EXPECT_EQ((vy::Date{2027, 2, 3, 4, 5, 6}), vy::get<vy::Date>(*bo, "Due"));
  vy::set(*bo, "Due", "2027-13-01");
  EXPECT_THROW(vy::get<vy::Date>(*bo, "Due"), vy::AttrError);
  EXPECT_THROW(vy::text(*bo, "NoSuch"), vy::AttrError);
  EXPECT_THROW(vy::text(*bo, "Lines"), vy::AttrError) << "an object attribute holds no text";
  EXPECT_THROW(vy::require<double>(*bo, "State"), vy::AttrError) << "ignored is not there";
}

TEST_F(ModernValuesTest, ChildrenOfEitherCardinalityIterateAndNoneIsLost) {
  auto bo = vy::makeObject("MdOrder");
  EXPECT_TRUE(vy::children(*bo, "Lines").empty());
  for (int i = 0; i < 3; ++i) vy::set(vy::addChild(*bo, "Lines", "Create"), "Qty", i);
  vy::set(vy::addChild(*bo, "Main"), "Sku", "main");
  EXPECT_THROW(vy::addChild(*bo, "Main"), vy::AttrError) << "a single attribute holds one";
  long long sum = 0;
  for (BusinessObject& line : vy::children(*bo, "Lines"))
    sum += vy::require<long long>(line, "Qty");
  EXPECT_EQ(3, sum);
  EXPECT_EQ(3u, vy::children(*bo, "Lines").size());
  EXPECT_EQ(1u, vy::children(*bo, "Main").size());
  EXPECT_EQ("main", vy::text(*vy::children(*bo, "Main").begin(), "Sku"));
  EXPECT_THROW(vy::children(*bo, "Price"), vy::AttrError);

  std::unique_ptr<BusinessObject> copy = vy::clone(*bo);
  EXPECT_EQ(3u, vy::children(*copy, "Lines").size());
  EXPECT_THROW(vy::makeObject("NoSuchType"), vy::AttrError);
  EXPECT_EQ(vy::kEventNotSubscribed, vy::raiseEvent(*copy, "Create"));
}

TEST_F(ModernValuesTest, AttributesWalkTheTypeAsItsSpecDescribesIt) {
  auto bo = vy::makeObject("MdOrder");
  std::string walked;
  for (const vy::Attr& a : vy::attributes(*bo)) {
    walked += std::string(a.name()) + ":" + std::to_string(vy::toInt(a.type())) +
              (a.isKey() ? "k" : "") + (a.isMultiple() ? "n" : "") + std::string(a.childType()) +
              "@" + std::to_string(a.index()) + " ";
  }
  EXPECT_EQ("Id:5k@0 Price:4@1 Paid:1@2 Due:6@3 State:5@4 Lines:0nMdLine@5 Main:0MdLine@6 ",
            walked);
  vy::Attrs attrs = vy::attributes(*bo->getTheSpec());
  EXPECT_EQ(7, attrs.size());
  EXPECT_THROW(attrs[7], std::out_of_range);
  EXPECT_TRUE(vy::attribute(*bo, "Main") == attrs[6]);
  EXPECT_THROW(vy::attribute(*bo, "NoSuch"), vy::AttrError);
  EXPECT_EQ(vy::findSpec("MdLine"), &vy::childSpec(attrs[5]));
  EXPECT_EQ(nullptr, vy::findSpec("NoSuchType"));
  EXPECT_THROW(vy::childSpec(attrs[1]), vy::AttrError) << "a simple attribute has no child type";
}

TEST_F(ModernValuesTest, AttrHandlesReadAndWriteAsNamesDoAndStayWithTheirType) {
  auto bo = vy::makeObject("MdOrder", "Update");
  vy::Attrs attrs = vy::attributes(*bo);
  const vy::Attr id = attrs[0], price = attrs[1], state = attrs[4], lines = attrs[5];
  vy::set(*bo, id, 18446744073709551615ULL);
  EXPECT_EQ("18446744073709551615", vy::text(*bo, "Id"));
  vy::set(*bo, id, -42);
  EXPECT_EQ(-42, vy::require<int>(*bo, id));
  vy::set(*bo, price, std::string_view("2.50xyz").substr(0, 4));
  EXPECT_EQ(2.5, vy::get<double>(*bo, price)) << "a string_view is copied up to its length";
  vy::set(*bo, state, static_cast<const char*>(nullptr));
  EXPECT_TRUE(vy::isBlank(*bo, state));
  vy::set(*bo, state, std::string("held"));
  EXPECT_EQ("held", vy::text(*bo, "State"));
  EXPECT_EQ("Update", vy::verbOf(*bo));
  EXPECT_THROW(vy::text(*bo, lines), vy::AttrError);
  EXPECT_THROW(vy::children(*bo, price), vy::AttrError);

  BusinessObject& line = vy::addChild(*bo, lines);
  EXPECT_THROW(vy::text(line, id), vy::AttrError) << "an Attr of another type is refused";
  EXPECT_THROW(vy::set(line, price, "1"), vy::AttrError);
  EXPECT_EQ("", vy::verbOf(line));
}

TEST_F(ModernValuesTest, RemovingChildrenKeepsTheOthersInOrderAndFreesTheRest) {
  auto bo = vy::makeObject("MdOrder");
  const vy::Attr lines = vy::attribute(*bo, "Lines");
  for (const char* sku : {"a", "b", "c", "d"}) vy::set(vy::addChild(*bo, lines), "Sku", sku);
  std::string asked;
  int removed = vy::removeChildren(*bo, lines, [&](BusinessObject& l) {
    asked += *vy::text(l, "Sku");
    return *vy::text(l, "Sku") == "b" || *vy::text(l, "Sku") == "d";
  });
  EXPECT_EQ(2, removed);
  EXPECT_EQ("abcd", asked) << "asked once each, in order";
  std::string kept;
  for (BusinessObject& l : vy::children(*bo, lines)) kept += *vy::text(l, "Sku");
  EXPECT_EQ("ac", kept);

  vy::set(vy::addChild(*bo, "Main", "Create"), "Sku", "m");
  EXPECT_EQ(0, vy::removeChildren(*bo, "Main", [](BusinessObject&) { return false; }));
  EXPECT_EQ(1, vy::removeChildren(*bo, "Main", [](BusinessObject& m) {
              return vy::verbOf(m) == "Create" && vy::text(m, "Sku") == "m";
            }));
  EXPECT_TRUE(vy::children(*bo, "Main").empty());
  vy::set(vy::addChild(*bo, "Main"), "Sku", "again");
  EXPECT_EQ(1u, vy::children(*bo, "Main").size()) << "the slot takes a child again";
  vy::ignore(*bo, lines);  // deletes the children it held (the ASan run sees a leak otherwise)
  EXPECT_TRUE(vy::children(*bo, lines).empty());
}

static_assert(vy::toInt(vy::AttrType::Integer) == 2 && vy::toInt(vy::Status::ValueChanged) == -5);

}  // namespace
