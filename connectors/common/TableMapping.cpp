#include "TableMapping.hpp"

#include "SqlText.hpp"

using sqltext::id;

namespace {

const int kLinkCount = 6;

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); i++) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

const char* const kTopLevel =
    "\"vy_parent_type\" = '' AND \"vy_parent_attr\" = '' AND \"vy_parent_key\" = ''";

}  // namespace

const char* const TableMapping::EVENT_TABLE = "vy_event";
const char* const TableMapping::SEQUENCE_TABLE = "vy_key_sequence";
const char* const TableMapping::LINK_COLUMNS[6] = {"vy_parent_type", "vy_parent_attr",
                                                   "vy_parent_key",  "vy_position",
                                                   "vy_root_type",   "vy_root_key"};

TableMapping::TableMapping(BusObjSpec* s, const SqlDialect& dialect)
    : theSpec(s), sql(dialect), name(s->getName()) {
  if (name.empty() || name == EVENT_TABLE || name == SEQUENCE_TABLE ||
      dialect.reservedTable(name)) {
    throw SqlError("the type name \"" + name + "\" cannot be a table name");
  }
  // A database that cuts longer names would map two names onto one, or raise events under a
  // name no spec has.
  const size_t longest = dialect.maxNameBytes();
  auto checkLength = [&](std::string_view what) {
    if (longest > 0 && what.size() > longest) {
      throw SqlError("the name \"" + std::string(what) + "\" is longer than the " +
                     std::to_string(longest) + " bytes the database keeps of a name");
    }
  };
  checkLength(name);
  for (const vy::Attr& a : vy::attributes(*s)) {
    if (a.isObject()) {
      objects.push_back(a);
      continue;
    }
    for (const char* link : LINK_COLUMNS) {
      if (a.name() == link) {
        throw SqlError(name + ": the attribute name \"" + link + "\" is reserved");
      }
    }
    checkLength(a.name());
    simple.push_back(a);
    if (a.isKey()) keys.push_back(a);
  }

  std::vector<std::string> columns, params;
  for (int i = 0; i < kLinkCount; i++) {
    columns.push_back(id(LINK_COLUMNS[i]));
    params.push_back(sql.param(i + 1));
  }
  std::vector<std::string> selected{identityExpr()};
  for (size_t k = 0; k < simple.size(); k++) {
    std::string column = id(simple[k].name());
    columns.push_back(column);
    selected.push_back(column);
    params.push_back(sql.param(kLinkCount + static_cast<int>(k) + 1));
  }
  const std::string table = quotedTable();
  const std::string list = joined(selected, ", ");
  const std::string parentMatch = "\"vy_parent_type\" = " + sql.param(1) +
                                  " AND \"vy_parent_attr\" = " + sql.param(2) +
                                  " AND \"vy_parent_key\" = " + sql.param(3);
  const std::string values = "INSERT INTO " + table + " (" + joined(columns, ", ") + ") VALUES (" +
                             joined(params, ", ") + ")";
  insert = values + " RETURNING " + identityExpr();
  insertOrSkip = values + " ON CONFLICT DO NOTHING RETURNING " + identityExpr();
  selectTop = "SELECT " + list + " FROM " + table + " WHERE " + kTopLevel + " AND " + keyMatch(1);
  selectChildren =
      "SELECT " + list + " FROM " + table + " WHERE " + parentMatch + " ORDER BY \"vy_position\"";
  deleteTop = "DELETE FROM " + table + " WHERE " + kTopLevel + " AND " + keyMatch(1);
  deleteChildren = "DELETE FROM " + table + " WHERE " + parentMatch;
  deleteChild = "DELETE FROM " + table + " WHERE " + parentMatch + " AND " + keyMatch(4);
  selectChild = "SELECT " + identityExpr() + " FROM " + table + " WHERE " + parentMatch + " AND " +
                keyMatch(4);
}

std::string TableMapping::quotedTable() const { return id(name); }

std::string TableMapping::identityExpr() const {
  std::vector<std::string> keyColumns;
  for (const vy::Attr& k : keys) keyColumns.push_back(id(k.name()));
  std::vector<std::string> child{"\"vy_parent_type\"", "\"vy_parent_attr\"", "\"vy_parent_key\""};
  child.insert(child.end(), keyColumns.begin(), keyColumns.end());
  if (keys.empty()) child.push_back("\"vy_position\"");
  return "CASE WHEN \"vy_parent_type\" = '' THEN " + sql.jsonArray(keyColumns) + " ELSE " +
         sql.jsonArray(child) + " END";
}

std::string TableMapping::keyMatch(int firstParam) const {
  if (keys.empty()) return "TRUE";
  std::vector<std::string> parts;
  for (size_t k = 0; k < keys.size(); k++) {
    parts.push_back(id(keys[k].name()) + " = " + sql.param(firstParam + static_cast<int>(k)));
  }
  return joined(parts, " AND ");
}

std::string TableMapping::createTableSql() const {
  const std::string position = std::string(sql.integerType());
  std::vector<std::string> defs{"\"vy_parent_type\" TEXT NOT NULL DEFAULT ''",
                                "\"vy_parent_attr\" TEXT NOT NULL DEFAULT ''",
                                "\"vy_parent_key\" TEXT NOT NULL DEFAULT ''",
                                "\"vy_position\" " + position + " NOT NULL DEFAULT 0",
                                "\"vy_root_type\" TEXT NOT NULL DEFAULT ''",
                                "\"vy_root_key\" TEXT NOT NULL DEFAULT ''"};
  std::vector<std::string> primary{"\"vy_parent_type\"", "\"vy_parent_attr\"", "\"vy_parent_key\""};
  for (const vy::Attr& a : simple) {
    // TEXT keeps every value as the text it was ("007" stays "007").
    defs.push_back(id(a.name()) + (a.isKey() ? " TEXT NOT NULL" : " TEXT"));
    if (a.isKey()) primary.push_back(id(a.name()));
  }
  if (keys.empty()) primary.push_back("\"vy_position\"");
  defs.push_back("PRIMARY KEY (" + joined(primary, ", ") + ")");
  return "CREATE TABLE IF NOT EXISTS " + quotedTable() + " (" + joined(defs, ", ") + ")";
}

std::string TableMapping::updateSql(const std::vector<vy::Attr>& attrs) const {
  std::vector<std::string> sets;
  int n = 1;
  for (const vy::Attr& a : attrs) sets.push_back(id(a.name()) + " = " + sql.param(n++));
  sets.push_back("\"vy_position\" = " + sql.param(n++));
  std::string where = "\"vy_parent_type\" = " + sql.param(n) +
                      " AND \"vy_parent_attr\" = " + sql.param(n + 1) +
                      " AND \"vy_parent_key\" = " + sql.param(n + 2);
  return "UPDATE " + quotedTable() + " SET " + joined(sets, ", ") + " WHERE " + where + " AND " +
         keyMatch(n + 3) + " RETURNING " + identityExpr();
}
