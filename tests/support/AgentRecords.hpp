// What a test reads of an agent, whichever agent it is (the embedded JVM's or the native port):
// log lines, trace lines and message requests; and the wire text of a field list.
#ifndef VY_AGENT_RECORDS_HPP
#define VY_AGENT_RECORDS_HPP

#include <string>
#include <vector>

namespace vytest {

struct LogLine {
  std::string text;
  int severity;  // -1 when logged without a severity
};

struct TraceLine {
  std::string name;
  int level;
  std::string msg;
  bool hasText2;
  std::string text2;
};

struct MsgRequest {
  int num;
  int type;
  bool hasText;
  std::string text;
  int set;
  int argCount;
  std::string args;
};

// Joins a UTF-8 field list with the wire delimiter U+0003 (convenience for building requests).
inline std::u16string wire(const std::vector<std::string>& fields) {
  std::u16string out;
  for (const std::string& f : fields) {
    std::u16string text;
    // Test fields are ASCII or UTF-8; decode UTF-8 into UTF-16 units.
    for (size_t i = 0; i < f.size();) {
      unsigned char c = static_cast<unsigned char>(f[i]);
      char32_t cp;
      int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
      for (int k = 1; k < len && i + k < f.size(); ++k) cp = (cp << 6) | (f[i + k] & 0x3F);
      i += len;
      if (cp >= 0x10000) {
        cp -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (cp >> 10));
        text += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
      } else {
        text += static_cast<char16_t>(cp);
      }
    }
    std::string len = std::to_string(text.size());
    out.append(len.begin(), len.end());
    out += u'\x03';
    out += text;
  }
  return out;
}

}  // namespace vytest

#endif  // VY_AGENT_RECORDS_HPP
