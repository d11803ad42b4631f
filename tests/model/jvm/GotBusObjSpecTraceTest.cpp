// The entry point n_gotBusObjSpec traces the text it was handed at level 5, and only then.
#include <gtest/gtest.h>

#include <string>

#include "BusinessObjectTestSpecs.hpp"
#include "StringMessage.hpp"
#include "VyTestAgent.hpp"

namespace {

TEST(GotBusObjSpecTest, TheTextIsTracedOnlyWhenTracing) {
  vytest::Agent agent;
  agent.init();
  std::u16string wire = bospecs::specText("GotTraced", {{"Id", "String", true}});
  std::string text =
      StringMessage(reinterpret_cast<const unsigned short*>(wire.c_str())).toString();
  agent.setTraceLevel(0);
  agent.clearRecords();
  agent.gotBusObjSpec(text);
  for (const vytest::TraceLine& t : agent.traces())
    EXPECT_EQ(std::string::npos, t.msg.find("got BusObjSpec string:"));
  agent.setTraceLevel(5);
  agent.clearRecords();
  agent.gotBusObjSpec(text);
  bool found = false;
  for (const vytest::TraceLine& t : agent.traces()) {
    if (t.msg == "BusObjNativeInterface_n_gotBusObjSpec got BusObjSpec string:\n" + text + "\n")
      found = t.level == 5;
  }
  EXPECT_TRUE(found);
}

}  // namespace
