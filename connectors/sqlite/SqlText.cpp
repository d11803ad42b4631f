#include "SqlText.hpp"

namespace {

std::string quoted(const std::string& text, char quote) {
  std::string out;
  out.reserve(text.size() + 2);
  out += quote;
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

}  // namespace

namespace sqltext {

std::string id(const std::string& name) { return quoted(name, '"'); }

std::string literal(const std::string& text) { return quoted(text, '\''); }

}  // namespace sqltext
