#include "ConnectorText.hpp"

#include <strings.h>

#include <vector>

#include "KyMsgFormat.hpp"

namespace {

// Key values in error texts are cut to this many bytes; a 1 MB key must not become a 1 MB
// message.
const size_t kShownValue = 80;

// The whole text of a non-negative integer property; false for anything else.
bool parseCount(const std::string& text, long long* value) {
  if (text.empty() || text.size() > 18) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

}  // namespace

namespace connectortext {

std::string describe(BusinessObject& bo, std::string_view verb, std::string_view cause) {
  std::string text = bo.getName() != nullptr ? bo.getName() : "?";
  text += " [";
  const char* separator = "";
  for (const vy::Attr& a : vy::attributes(bo)) {
    if (!a.isKey() || a.isObject()) continue;
    std::optional<std::string_view> value = vy::text(bo, a);
    (text += separator) += a.name();
    separator = ", ";
    if (!value) {
      text += "=<none>";
    } else if (value->empty()) {
      text += "=<blank>";
    } else {
      (text += "=") += value->substr(0, kShownValue);
      if (value->size() > kShownValue) text += "...";
    }
  }
  ((((text += "]: ") += verb) += " failed: ") += cause);
  return text;
}

std::string property(GenGlobals& globals, const char* name) {
  // Paths and connection strings may be long; a value that fills the buffer is cut, so the
  // buffer is generous.
  std::vector<char> value(4096, '\0');
  globals.getConfigProp(name, value.data(), static_cast<int>(value.size()));
  value.back() = '\0';
  return value.data();
}

long long numberProperty(GenGlobals& globals, const char* who, const char* name,
                         long long fallback) {
  std::string text = property(globals, name);
  if (text.empty()) return fallback;
  long long value;
  if (parseCount(text, &value)) return value;
  std::string warning = std::string(who) + ": \"" + name + "\" is \"" + text +
                        "\", not a whole number; using " + std::to_string(fallback);
  globals.logMsg(warning.c_str(), KyMsgFormat::MLV_WARNING);
  return fallback;
}

bool switchProperty(GenGlobals& globals, const char* name) {
  return strcasecmp(property(globals, name).c_str(), "false") != 0;
}

}  // namespace connectortext
