// The StringMessage tokenizer on arbitrary UTF-16 text: any prefix of well-formed fields is
// kept, the rest dropped from both views, and what is kept reads the same every time.
//
// Input: first byte selects the delimiter (default U+0003, U+0004, or a two-character one), the
// rest is UTF-16LE units. Checked: the kept text re-parses to the same text and tokens; a
// rewound tokenizer hands out the same tokens; writing the tokens back with appendField gives a
// message with the same tokens; toString never fails on a non-empty ASCII message.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.hpp"
#include "FuzzMessages.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"

namespace {

std::vector<std::string> tokensOf(StringMessage& msg) {
  std::vector<std::string> out;
  while (msg.hasMoreTokens()) {
    const char* t = msg.nextToken();
    VY_FUZZ_CHECK(t != nullptr, "hasMoreTokens promised a token");
    out.emplace_back(t);
  }
  VY_FUZZ_CHECK(msg.nextToken() == nullptr, "a token after hasMoreTokens said none");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kDelimiters[] = {nullptr, "\x04", "::", "\x03"};
  const char* delimiter = kDelimiters[data[0] & 3];
  std::u16string units = vyfuzz::FuzzSpecs::unitsOf(data + 1, size - 1);
  auto* text = reinterpret_cast<const unsigned short*>(units.c_str());

  StringMessage* msg =
      delimiter == nullptr ? new StringMessage(text) : new StringMessage(text, delimiter);
  std::u16string kept = vyfuzz::messageUnits(*msg);
  VY_FUZZ_CHECK(units.compare(0, kept.size(), kept) == 0, "the kept text is not a prefix");
  std::vector<std::string> first = tokensOf(*msg);
  msg->initTokenizer();
  VY_FUZZ_CHECK(tokensOf(*msg) == first, "a rewound tokenizer disagrees");

  // The kept text is whole fields: parsing it again keeps all of it.
  StringMessage* again =
      delimiter == nullptr
          ? new StringMessage(reinterpret_cast<const unsigned short*>(kept.c_str()))
          : new StringMessage(reinterpret_cast<const unsigned short*>(kept.c_str()), delimiter);
  VY_FUZZ_CHECK(vyfuzz::messageUnits(*again) == kept, "re-parsing the kept text changed it");
  VY_FUZZ_CHECK(tokensOf(*again) == first, "re-parsing the kept text changed the tokens");
  delete again;

  // Tokens written back as fields read back as the same tokens.
  StringMessage rebuilt;
  if (delimiter != nullptr) rebuilt.setDelimiter(delimiter);
  for (const std::string& t : first) rebuilt.appendField(t.c_str());
  rebuilt.initTokenizer();
  VY_FUZZ_CHECK(tokensOf(rebuilt) == first, "tokens written back read differently");

  bool ascii = !kept.empty();
  for (char16_t u : kept) ascii = ascii && u < 0x80;
  char* native = msg->toString();
  if (ascii) VY_FUZZ_CHECK(native != nullptr, "toString failed on ASCII text");
  if (native != nullptr) VY_FUZZ_CHECK(msg->getCurrentSize() > 0, "size of a rendered text");
  delete msg;
  return 0;
}
