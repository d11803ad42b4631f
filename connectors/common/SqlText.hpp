// Quoting for the SQL texts the connector builds. Only names (tables, columns, triggers) and the
// type names in trigger bodies are ever written into SQL text; every value is bound.
#ifndef VY_SQL_COMMON_SQL_TEXT_HPP
#define VY_SQL_COMMON_SQL_TEXT_HPP

#include <string>
#include <string_view>

namespace sqltext {

inline std::string quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) out.append(c == quote ? 2 : 1, c);
  return out + quote;
}
// A quoted identifier: "name" with every " doubled, so any name (a keyword, a name with blanks
// or quotes) is taken literally.
inline std::string id(std::string_view name) { return quoted(name, '"'); }
// A string literal: 'text' with every ' doubled.
inline std::string literal(std::string_view text) { return quoted(text, '\''); }

}  // namespace sqltext

#endif  // VY_SQL_COMMON_SQL_TEXT_HPP
