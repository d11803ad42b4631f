// The status of a request and its string form.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "NativeAgent.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

std::u16string units(const StringMessage& msg) {
  return std::u16string(reinterpret_cast<const char16_t*>(msg.toUTF16String()),
                        msg.getCurrentUTF16Size());
}

TEST(ReturnStatusDescriptorTest, StringFormRoundTrips) {
  Agent agent;
  agent.init();
  ReturnStatusDescriptor empty;
  std::unique_ptr<StringMessage> msg(empty.toStringMessage());
  EXPECT_EQ(u"22\u0003ReturnStatusDescriptor1\u000304\u0003null", units(*msg));

  struct Case {
    int status;
    const char* text;
    const char* back;
  };
  for (const Case& c :
       {Case{-1, "failed: Zü\x03 done", "failed: Zü\x03 done"}, Case{1, nullptr, nullptr},
        Case{-5, "null", nullptr}, Case{-2147483647 - 1, "", nullptr}}) {
    ReturnStatusDescriptor original(c.status, "x");
    original.seterrMsg(c.text);
    std::unique_ptr<StringMessage> form(original.toStringMessage());
    StringMessage parsed(form->toUTF16String());
    ReturnStatusDescriptor back(&parsed);
    EXPECT_EQ(c.status, back.getStatus());
    if (c.back == nullptr) {
      EXPECT_EQ(nullptr, back.getErrorMsg());
    } else {
      EXPECT_STREQ(c.back, back.getErrorMsg());
    }
  }
}

TEST(ReturnStatusDescriptorTest, ShortFormsGiveStatusZeroAndNoText) {
  Agent agent;
  agent.init();
  StringMessage two;
  two.appendField("ReturnStatusDescriptor");
  two.appendField("-1");
  ReturnStatusDescriptor fromTwo(&two);
  EXPECT_EQ(0, fromTwo.getStatus());
  EXPECT_EQ(nullptr, fromTwo.getErrorMsg());
  StringMessage none;
  ReturnStatusDescriptor fromNone(&none);
  EXPECT_EQ(0, fromNone.getStatus());
  ReturnStatusDescriptor fromNull(static_cast<StringMessage*>(nullptr));
  EXPECT_EQ(0, fromNull.getStatus());
  StringMessage huge;
  huge.appendField("ReturnStatusDescriptor");
  huge.appendField("99999999999999999999");
  huge.appendField("t");
  EXPECT_EQ(2147483647, ReturnStatusDescriptor(&huge).getStatus());
}

TEST(ReturnStatusDescriptorTest, TextsAreCopiedAndReplaced) {
  char text[] = "boom";
  ReturnStatusDescriptor status(-1, text);
  text[0] = 'X';
  EXPECT_STREQ("boom", status.getErrorMsg());
  EXPECT_EQ(-1, status.getStatus());
  status.seterrMsg(status.getErrorMsg());
  EXPECT_STREQ("boom", status.getErrorMsg());
  status.seterrMsg(nullptr);
  EXPECT_EQ(nullptr, status.getErrorMsg());
  ReturnStatusDescriptor plain("only text");
  EXPECT_EQ(0, plain.getStatus());
  EXPECT_STREQ("only text", plain.getErrorMsg());
  EXPECT_STREQ("\x04", ReturnStatusDescriptor::RETURN_DELIM);
}

}  // namespace
