// How one business object type lies in the database: a table named after the type, one TEXT
// column per simple attribute, and six link columns that place a row in its tree:
//
//   vy_parent_type, vy_parent_attr, vy_parent_key   the parent row (type, attribute, identity);
//                                                   empty for a top-level object
//   vy_position                                     order among the parent's children
//   vy_root_type, vy_root_key                       the top-level object the row belongs to
//
// The primary key is the parent link plus the key attributes (plus the position for a type
// without keys), so the same child keys may occur under different parents. A row's identity is
// json_array(key values) for a top-level row and json_array(parent link, key values) for a
// child; children carry their parent's identity in vy_parent_key.
//
// Values are stored as TEXT exactly as the object held them: the ignore marker as NULL, the
// blank marker as ''. Triggers record every write of a top-level row (type, verb, identity) in
// the event table, and every write of a child row as an "Update" of its top-level object unless
// an event for that object is already pending.
//
// A mapping is built once per spec and only read afterwards, so threads share it freely.
#ifndef SQLITE_CONNECTOR_TABLE_MAPPING_HPP
#define SQLITE_CONNECTOR_TABLE_MAPPING_HPP

#include <string>
#include <vector>

#include "VyModern.hpp"

class TableMapping {
 public:
  // The table of pending events and the per-column key sequences.
  static const char* const EVENT_TABLE;     // "vy_event"
  static const char* const SEQUENCE_TABLE;  // "vy_key_sequence"
  // Statements that create both when missing.
  static std::string createSharedTablesSql();

  // Throws SqliteError when the type cannot be mapped (a name the connector reserves).
  explicit TableMapping(BusObjSpec* spec);

  BusObjSpec* spec() const { return theSpec; }
  const std::string& typeName() const { return name; }
  // Simple attributes in column order, key attributes, object attributes.
  const std::vector<vy::Attr>& simpleAttrs() const { return simple; }
  const std::vector<vy::Attr>& keyAttrs() const { return keys; }
  const std::vector<vy::Attr>& objectAttrs() const { return objects; }
  bool hasKeys() const { return !keys.empty(); }

  // CREATE TABLE and CREATE TRIGGER statements, all IF NOT EXISTS.
  std::vector<std::string> createSql() const;
  std::string quotedTable() const;

  // INSERT of one row: parameters 1-6 the link columns, then the simple attributes in order;
  // returns the new row's identity.
  const std::string& insertSql() const { return insert; }
  // SELECT identity, simple attributes of the top-level row with the given keys (parameters:
  // key values in key order).
  const std::string& selectTopSql() const { return selectTop; }
  // SELECT identity, simple attributes of the children under a parent link (parameters 1-3),
  // in position order.
  const std::string& selectChildrenSql() const { return selectChildren; }
  // DELETE of the top-level row with the given keys.
  const std::string& deleteTopSql() const { return deleteTop; }
  // DELETE of every child under a parent link (parameters 1-3).
  const std::string& deleteChildrenSql() const { return deleteChildren; }
  // DELETE of one child: parameters 1-3 the parent link, then the key values.
  const std::string& deleteChildSql() const { return deleteChild; }
  // UPDATE of the given simple attributes and the position of one row: parameters: the values,
  // the position, the parent link (3), the key values. Returns the row's identity.
  std::string updateSql(const std::vector<vy::Attr>& attrs) const;
  // SELECT identity of one child: parameters 1-3 the parent link, then the key values.
  const std::string& selectChildSql() const { return selectChild; }

 private:
  std::string identityExpr() const;
  std::string keyMatch(int firstParam) const;

  BusObjSpec* theSpec;
  std::string name;
  std::vector<vy::Attr> simple;
  std::vector<vy::Attr> keys;
  std::vector<vy::Attr> objects;
  std::string insert;
  std::string selectTop;
  std::string selectChildren;
  std::string deleteTop;
  std::string deleteChildren;
  std::string deleteChild;
  std::string selectChild;
};

#endif  // SQLITE_CONNECTOR_TABLE_MAPPING_HPP
