// Quoting for the SQL texts the connector builds. Only names (tables, columns, triggers) and the
// type names in trigger bodies are ever written into SQL text; every value is bound.
#ifndef SQLITE_CONNECTOR_SQL_TEXT_HPP
#define SQLITE_CONNECTOR_SQL_TEXT_HPP

#include <string>

namespace sqltext {

// A quoted identifier: "name" with every " doubled, so any name (a keyword, a name with blanks
// or quotes) is taken literally.
std::string id(const std::string& name);
// A string literal: 'text' with every ' doubled.
std::string literal(const std::string& text);

}  // namespace sqltext

#endif  // SQLITE_CONNECTOR_SQL_TEXT_HPP
