// The field buffer of the wire format: both views, the tokenizer and its refusal of malformed
// input, growth, delimiters and the native view.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AgentPort.hpp"
#include "NativeAgent.hpp"
#include "StringMessage.hpp"
#include "VyConnector.hpp"

namespace {

using Agent = vytest::NativeAgent;

std::u16string units(const StringMessage& msg) {
  const unsigned short* p = msg.toUTF16String();
  return std::u16string(reinterpret_cast<const char16_t*>(p), msg.getCurrentUTF16Size());
}

const unsigned short* raw(const std::u16string& s) {
  return reinterpret_cast<const unsigned short*>(s.c_str());
}

std::vector<std::string> tokens(StringMessage& msg) {
  std::vector<std::string> out;
  while (msg.hasMoreTokens()) out.emplace_back(msg.nextToken());
  EXPECT_EQ(nullptr, msg.nextToken());
  return out;
}

TEST(StringMessageTest, FieldsAreLengthDelimiterText) {
  Agent agent;
  agent.init();
  StringMessage msg;
  msg.appendField("BusinessObject");
  msg.appendField("");
  msg.appendField(nullptr);
  msg.appendBooleanField(1);
  msg.appendBooleanField(0);
  msg.appendBooleanField(2);
  EXPECT_EQ(u"14\u0003BusinessObject4\u0003null4\u0003null4\u0003true5\u0003false", units(msg));
  EXPECT_EQ((std::vector<std::string>{"BusinessObject", "null", "null", "true", "false"}),
            tokens(msg));
  EXPECT_STREQ(
      "14\x03"
      "BusinessObject4\x03null4\x03null4\x03true5\x03"
      "false",
      msg.toString());
  EXPECT_EQ(static_cast<int>(std::strlen(msg.toString())), msg.getCurrentSize());
}

TEST(StringMessageTest, LengthsCountUtf16UnitsAndTheDelimiterMayBeText) {
  Agent agent;
  agent.init();
  StringMessage msg;
  msg.appendField("Zü✓");               // 6 bytes, 3 units
  msg.appendField("\xF0\x9F\x98\x80");  // one character outside the BMP: 2 units
  msg.appendField(
      "a\x03"
      "b");  // the delimiter inside a field
  EXPECT_EQ(u"3\u0003Zü✓2\u0003\U0001F6003\u0003a\u0003b", units(msg));

  StringMessage back(msg.toUTF16String());
  EXPECT_EQ((std::vector<std::string>{"Zü✓", "\xF0\x9F\x98\x80",
                                      "a\x03"
                                      "b"}),
            tokens(back));
  EXPECT_EQ(units(msg), units(back));
  StringMessage fromNative(msg.toString());
  EXPECT_EQ(units(msg), units(fromNative));
}

TEST(StringMessageTest, MalformedInputEndsTheSplitAndIsDroppedFromBothViews) {
  Agent agent;
  agent.init();
  const std::u16string good = u"2\u0003ab";
  struct Case {
    const char* what;
    std::u16string tail;
  };
  const Case cases[] = {
      {"length past the end", u"9\u0003abc"},
      {"truncated prefix", u"12"},
      {"twenty-digit prefix", u"12345678901234567890\u0003abc"},
      {"prefix overflowing int", u"4294967299\u0003abc"},
      {"zero length", u"0\u0003abc"},
      {"no digits", u"\u0003abc"},
      {"letters in the prefix", u"3x\u0003abc"},
      {"sign", u"-3\u0003abc"},
      {"no delimiter", u"3abc"},
  };
  for (const Case& c : cases) {
    std::u16string text = good + c.tail;
    StringMessage msg(raw(text));
    EXPECT_EQ(std::vector<std::string>{"ab"}, tokens(msg)) << c.what;
    EXPECT_EQ(good, units(msg)) << c.what;
  }
  StringMessage empty(static_cast<const unsigned short*>(nullptr));
  EXPECT_FALSE(empty.hasMoreTokens());
  EXPECT_EQ(nullptr, empty.toString());
  EXPECT_EQ(0, empty.getCurrentSize());
  EXPECT_TRUE(agent.messagesNumbered(80014).empty()) << "an empty message is no encoding error";
}

TEST(StringMessageTest, LargeMessagesGrowBothBuffersFromAnyStartSize) {
  Agent agent;
  agent.init();
  StringMessage msg(1);
  std::string big(5000, 'x');
  std::u16string expected;
  for (int i = 0; i < 300; ++i) {
    std::string value = std::to_string(i) + (i % 50 == 0 ? big : "");
    msg.appendField(value.c_str());
    std::string prefix = std::to_string(value.size());
    expected += std::u16string(prefix.begin(), prefix.end()) + u'\u0003' +
                std::u16string(value.begin(), value.end());
  }
  EXPECT_EQ(expected, units(msg));
  std::vector<std::string> read = tokens(msg);
  ASSERT_EQ(300u, read.size());
  EXPECT_EQ("0" + big, read[0]);
  EXPECT_EQ("299", read[299]);
  msg.initTokenizer();
  EXPECT_STREQ(("0" + big).c_str(), msg.nextToken());
}

TEST(StringMessageTest, AppendStringKeepsOnlyWholeFieldsAndMayAppendItself) {
  Agent agent;
  agent.init();
  StringMessage child;
  child.appendField("x");
  child.appendField("yz");
  StringMessage msg;
  msg.appendField("head");
  msg.appendString(child.toUTF16String());
  msg.appendString(raw(u"1\u0003q7\u0003cut"));
  EXPECT_EQ(u"4\u0003head1\u0003x2\u0003yz1\u0003q", units(msg));
  msg.appendString(msg.toUTF16String());
  EXPECT_EQ((std::vector<std::string>{"head", "x", "yz", "q", "head", "x", "yz", "q"}),
            tokens(msg));
  msg.appendString(nullptr);
  msg.appendString(raw(u""));
  EXPECT_EQ(2 * 16, msg.getCurrentUTF16Size());
}

TEST(StringMessageTest, SetDelimiterResplitsFromTheFirstField) {
  Agent agent;
  agent.init();
  StringMessage piped("3|abc2|de", "|");
  EXPECT_EQ((std::vector<std::string>{"abc", "de"}), tokens(piped));
  piped.appendField("f");
  EXPECT_EQ(u"3|abc2|de1|f", units(piped));

  StringMessage msg;
  msg.appendField("abc");
  msg.appendField("de");
  msg.nextToken();
  msg.setDelimiter("::");
  EXPECT_FALSE(msg.hasMoreTokens()) << "the old text does not parse with the new delimiter";
  msg.setDelimiter("\x03");
  EXPECT_EQ((std::vector<std::string>{"abc", "de"}), tokens(msg));
  msg.setDelimiter(nullptr);
  EXPECT_FALSE(msg.hasMoreTokens()) << "a null delimiter changes nothing, not even the position";
  msg.setDelimiter("");
  EXPECT_EQ((std::vector<std::string>{"abc", "de"}), tokens(msg)) << "an empty one keeps the old";

  // A delimiter that starts with a digit: the first occurrence after the digits ends the prefix.
  StringMessage digits("51hello", "1");
  EXPECT_EQ(std::vector<std::string>{"hello"}, tokens(digits));
  StringMessage nullText(static_cast<const char*>(nullptr), "|");
  EXPECT_EQ(0, nullText.getCurrentUTF16Size());
}

TEST(StringMessageTest, TheNativeViewFollowsEveryChange) {
  Agent agent;
  agent.init();
  StringMessage msg;
  msg.appendField("Zü");
  EXPECT_STREQ("2\x03Zü", msg.toString());
  EXPECT_EQ(5, msg.getCurrentSize());
  msg.appendField("z");
  EXPECT_STREQ("2\x03Zü1\x03z", msg.toString());
}

TEST(StringMessageTest, EncodingErrorsReachTheAgentWithTheEncodingName) {
  Agent agent;
  agent.init();
  StringMessage msg;
  msg.logEncodingError();
  std::vector<vytest::MsgRequest> sent = agent.messagesNumbered(80014);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(KyMsgFormat::MLV_FATAL, sent[0].type);
  EXPECT_EQ(1, sent[0].set);
  EXPECT_EQ(0, sent[0].argCount);
  EXPECT_TRUE(sent[0].hasText);
  EXPECT_EQ(vy::agentPort().encoding(), sent[0].text);
  EXPECT_TRUE(agent.logged("80014"));
}

}  // namespace
