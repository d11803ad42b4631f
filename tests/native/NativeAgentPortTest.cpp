// The native agent port's switches a test or a fuzzer relies on: records can be turned off (the
// answers stay the same), and reset puts back what a new port answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "NativeAgentPort.hpp"

namespace {

std::string formatted(vy::NativeAgentPort& port, int num, const char* args) {
  char* text = port.formatMsg(num, 1, nullptr, 1, 1, args);
  std::string out = text;
  std::free(text);
  return out;
}

TEST(NativeAgentPortTest, WithoutRecordingNothingIsKeptAndMessagesAreStillFormatted) {
  vy::NativeAgentPort port;
  port.setRecording(false);
  port.log("not kept", 1);
  port.trace("Conn", 5, "", "not kept", nullptr);
  EXPECT_EQ("64: Nope", formatted(port, 64, "Nope"));
  EXPECT_TRUE(port.logLines().empty());
  EXPECT_TRUE(port.traceLines().empty());
  EXPECT_TRUE(port.messages().empty());

  port.setRecording(true);
  port.log("kept", -7);
  EXPECT_EQ("17115: A,B", formatted(port, 17115, "A,B"));
  ASSERT_EQ(1u, port.logLines().size());
  EXPECT_EQ(-1, port.logLines()[0].severity);
  ASSERT_EQ(1u, port.messages().size());
  EXPECT_EQ("A,B", port.messages()[0].args);
}

TEST(NativeAgentPortTest, ResetAnswersAsANewPort) {
  vy::NativeAgentPort port;
  port.setEncoding("ISO-8859-1");
  port.setLocale("de_DE");
  port.setProperty("ConnectorName", "Conn");
  port.setDeltaSupport("Order", true);
  port.setCanPoll(false);
  port.setEventAnswer(-1);
  port.setRecording(false);
  const char* oldEncoding = port.encoding();
  port.reset();

  EXPECT_STREQ("UTF-8", port.encoding());
  EXPECT_STREQ("en_US", port.locale());
  EXPECT_STREQ("ISO-8859-1", oldEncoding) << "a name handed out stays valid";
  char value[16];
  EXPECT_EQ(0, port.configProp("ConnectorName", value, sizeof value));
  EXPECT_FALSE(port.deltaSupport("Order"));
  EXPECT_TRUE(port.canPoll());
  port.log("kept again", 2);
  EXPECT_EQ(1u, port.logLines().size()) << "recording is on after a reset";
}

}  // namespace
