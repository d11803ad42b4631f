#include "TableMapping.hpp"

#include "SqlText.hpp"
#include "SqliteError.hpp"

using sqltext::id;
using sqltext::literal;

namespace {

const char* const LINK_COLUMNS[] = {"vy_parent_type", "vy_parent_attr", "vy_parent_key",
                                    "vy_position",    "vy_root_type",   "vy_root_key"};
const int kLinkCount = 6;

// The parent link a child row is looked up by: its first three link columns.
const char* const kParentMatch =
    "\"vy_parent_type\" = ?1 AND \"vy_parent_attr\" = ?2 AND \"vy_parent_key\" = ?3";
const char* const kTopLevel =
    "\"vy_parent_type\" = '' AND \"vy_parent_attr\" = '' AND \"vy_parent_key\" = ''";

std::string param(int n) { return "?" + std::to_string(n); }

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); i++) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace

const char* const TableMapping::EVENT_TABLE = "vy_event";
const char* const TableMapping::SEQUENCE_TABLE = "vy_key_sequence";

std::string TableMapping::createSharedTablesSql() {
  // AUTOINCREMENT: an event id is never reused, so ids give the order of writes for good.
  return "CREATE TABLE IF NOT EXISTS vy_event (id INTEGER PRIMARY KEY AUTOINCREMENT,"
         " type TEXT NOT NULL, verb TEXT NOT NULL, key TEXT NOT NULL,"
         " taken INTEGER NOT NULL DEFAULT 0);"
         "CREATE INDEX IF NOT EXISTS vy_event_pending ON vy_event (type, key, taken);"
         "CREATE INDEX IF NOT EXISTS vy_event_order ON vy_event (taken, id);"
         "CREATE TABLE IF NOT EXISTS vy_key_sequence (name TEXT PRIMARY KEY,"
         " last INTEGER NOT NULL);";
}

TableMapping::TableMapping(BusObjSpec* s) : theSpec(s), name(s->getName()) {
  if (name.empty() || name == EVENT_TABLE || name == SEQUENCE_TABLE ||
      name.compare(0, 7, "sqlite_") == 0) {
    throw SqliteError("the type name \"" + name + "\" cannot be a table name");
  }
  for (const vy::Attr& a : vy::attributes(*s)) {
    if (a.isObject()) {
      objects.push_back(a);
      continue;
    }
    for (const char* link : LINK_COLUMNS) {
      if (a.name() == link) {
        throw SqliteError(name + ": the attribute name \"" + link + "\" is reserved");
      }
    }
    simple.push_back(a);
    if (a.isKey()) keys.push_back(a);
  }

  std::vector<std::string> columns, params;
  for (int i = 0; i < kLinkCount; i++) {
    columns.push_back(id(LINK_COLUMNS[i]));
    params.push_back(param(i + 1));
  }
  std::vector<std::string> selected{identityExpr()};
  for (size_t k = 0; k < simple.size(); k++) {
    std::string column = id(simple[k].name());
    columns.push_back(column);
    selected.push_back(column);
    params.push_back(param(kLinkCount + static_cast<int>(k) + 1));
  }
  const std::string table = quotedTable();
  const std::string list = joined(selected, ", ");
  insert = "INSERT INTO " + table + " (" + joined(columns, ", ") + ") VALUES (" +
           joined(params, ", ") + ") RETURNING " + identityExpr();
  selectTop = "SELECT " + list + " FROM " + table + " WHERE " + kTopLevel + " AND " + keyMatch(1);
  selectChildren =
      "SELECT " + list + " FROM " + table + " WHERE " + kParentMatch + " ORDER BY \"vy_position\"";
  deleteTop = "DELETE FROM " + table + " WHERE " + kTopLevel + " AND " + keyMatch(1);
  deleteChildren = "DELETE FROM " + table + " WHERE " + kParentMatch;
  deleteChild = "DELETE FROM " + table + " WHERE " + kParentMatch + " AND " + keyMatch(4);
  selectChild = "SELECT " + identityExpr() + " FROM " + table + " WHERE " + kParentMatch + " AND " +
                keyMatch(4);
}

std::string TableMapping::quotedTable() const { return id(name); }

std::string TableMapping::identityExpr() const {
  std::vector<std::string> keyColumns;
  for (const vy::Attr& k : keys) keyColumns.push_back(id(k.name()));
  std::vector<std::string> child{"\"vy_parent_type\"", "\"vy_parent_attr\"", "\"vy_parent_key\""};
  child.insert(child.end(), keyColumns.begin(), keyColumns.end());
  if (keys.empty()) child.push_back("\"vy_position\"");
  return "CASE WHEN \"vy_parent_type\" = '' THEN json_array(" + joined(keyColumns, ", ") +
         ") ELSE json_array(" + joined(child, ", ") + ") END";
}

std::string TableMapping::keyMatch(int firstParam) const {
  if (keys.empty()) return "1";
  std::vector<std::string> parts;
  for (size_t k = 0; k < keys.size(); k++) {
    parts.push_back(id(keys[k].name()) + " = " + param(firstParam + static_cast<int>(k)));
  }
  return joined(parts, " AND ");
}

std::vector<std::string> TableMapping::createSql() const {
  const std::string table = quotedTable();
  std::vector<std::string> defs{
      "\"vy_parent_type\" TEXT NOT NULL DEFAULT ''", "\"vy_parent_attr\" TEXT NOT NULL DEFAULT ''",
      "\"vy_parent_key\" TEXT NOT NULL DEFAULT ''",  "\"vy_position\" INTEGER NOT NULL DEFAULT 0",
      "\"vy_root_type\" TEXT NOT NULL DEFAULT ''",   "\"vy_root_key\" TEXT NOT NULL DEFAULT ''"};
  std::vector<std::string> primary{"\"vy_parent_type\"", "\"vy_parent_attr\"", "\"vy_parent_key\""};
  std::vector<std::string> eventKey;
  for (const vy::Attr& a : simple) {
    // TEXT affinity keeps every value as the text it was ("007" stays "007").
    defs.push_back(id(a.name()) + (a.isKey() ? " TEXT NOT NULL" : " TEXT"));
    if (a.isKey()) {
      primary.push_back(id(a.name()));
      eventKey.push_back("NEW." + id(a.name()));
    }
  }
  if (keys.empty()) primary.push_back("\"vy_position\"");
  defs.push_back("PRIMARY KEY (" + joined(primary, ", ") + ")");

  std::vector<std::string> out{"CREATE TABLE IF NOT EXISTS " + table + " (" + joined(defs, ", ") +
                               ")"};
  const std::string type = literal(name);
  struct Kind {
    const char* when;
    const char* verb;
    const char* row;
  };
  for (const Kind& k : {Kind{"INSERT", "Create", "NEW"}, Kind{"UPDATE", "Update", "NEW"},
                        Kind{"DELETE", "Delete", "OLD"}}) {
    std::string row = k.row;
    std::string key = joined(eventKey, ", ");
    if (row == "OLD") {
      for (std::string::size_type p = 0; (p = key.find("NEW.", p)) != std::string::npos;) {
        key.replace(p, 4, "OLD.");
      }
    }
    out.push_back(
        "CREATE TRIGGER IF NOT EXISTS " + id(std::string("vy_") + k.verb + " " + name) + " AFTER " +
        k.when + " ON " + table + " BEGIN" + " INSERT INTO vy_event (type, verb, key) SELECT " +
        type + ", '" + k.verb + "', json_array(" + key + ") WHERE " + row +
        ".\"vy_parent_type\" = '';" + " INSERT INTO vy_event (type, verb, key) SELECT " + row +
        ".\"vy_root_type\"," + " 'Update', " + row + ".\"vy_root_key\" WHERE " + row +
        ".\"vy_parent_type\" <> '' AND NOT EXISTS (SELECT 1 FROM vy_event WHERE type = " + row +
        ".\"vy_root_type\" AND key = " + row + ".\"vy_root_key\" AND taken = 0);" + " END");
  }
  return out;
}

std::string TableMapping::updateSql(const std::vector<vy::Attr>& attrs) const {
  std::vector<std::string> sets;
  int n = 1;
  for (const vy::Attr& a : attrs) sets.push_back(id(a.name()) + " = " + param(n++));
  sets.push_back("\"vy_position\" = " + param(n++));
  std::string where = "\"vy_parent_type\" = " + param(n) +
                      " AND \"vy_parent_attr\" = " + param(n + 1) +
                      " AND \"vy_parent_key\" = " + param(n + 2);
  return "UPDATE " + quotedTable() + " SET " + joined(sets, ", ") + " WHERE " + where + " AND " +
         keyMatch(n + 3) + " RETURNING " + identityExpr();
}
