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
// the JSON array of the key values for a top-level row and of the parent link and the key values
// for a child; children carry their parent's identity in vy_parent_key.
//
// Values are stored as TEXT exactly as the object held them: the ignore marker as NULL, the
// blank marker as ''. Each connector's triggers record every write of a top-level row (type,
// verb, identity) in the event table, and every write of a child row as an "Update" of its
// top-level object unless an event for that object is already pending.
//
// The SQL texts are the same for every database but for what the SqlDialect gives (parameter
// markers, JSON arrays, the integer type). A mapping is built once per spec and only read
// afterwards, so threads share it freely.
#ifndef VY_SQL_COMMON_TABLE_MAPPING_HPP
#define VY_SQL_COMMON_TABLE_MAPPING_HPP

#include <string>
#include <vector>

#include "SqlSession.hpp"
#include "VyModern.hpp"

class TableMapping {
 public:
  // The table of pending events and the per-column key sequences.
  static const char* const EVENT_TABLE;     // "vy_event"
  static const char* const SEQUENCE_TABLE;  // "vy_key_sequence"
  // The link columns every table has, in their order in INSERT.
  static const char* const LINK_COLUMNS[6];

  // Throws SqlError when the type cannot be mapped (a name the connector or the database
  // reserves). The dialect must outlive the mapping.
  TableMapping(BusObjSpec* spec, const SqlDialect& dialect);

  const SqlDialect& dialect() const { return sql; }
  BusObjSpec* spec() const { return theSpec; }
  const std::string& typeName() const { return name; }
  // Simple attributes in column order, key attributes, object attributes.
  const std::vector<vy::Attr>& simpleAttrs() const { return simple; }
  const std::vector<vy::Attr>& keyAttrs() const { return keys; }
  const std::vector<vy::Attr>& objectAttrs() const { return objects; }
  bool hasKeys() const { return !keys.empty(); }

  // CREATE TABLE IF NOT EXISTS of the type's table (the triggers are the connector's).
  std::string createTableSql() const;
  std::string quotedTable() const;

  // INSERT of one row: parameters 1-6 the link columns, then the simple attributes in order;
  // returns the new row's identity.
  const std::string& insertSql() const { return insert; }
  // The same insert that returns no row, instead of failing, when the primary key is taken.
  const std::string& insertOrSkipSql() const { return insertOrSkip; }
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
  const SqlDialect& sql;
  std::string name;
  std::vector<vy::Attr> simple;
  std::vector<vy::Attr> keys;
  std::vector<vy::Attr> objects;
  std::string insert;
  std::string insertOrSkip;
  std::string selectTop;
  std::string selectChildren;
  std::string deleteTop;
  std::string deleteChildren;
  std::string deleteChild;
  std::string selectChild;
};

// Where the shared tree code finds the mapping of a type: each connector's schema, which makes
// the tables ready before a verb runs.
class TableMappings {
 public:
  virtual ~TableMappings() = default;
  // The mapping of a spec already made ready; throws SqlError otherwise.
  virtual const TableMapping& mappingFor(BusObjSpec* spec) const = 0;
};

#endif  // VY_SQL_COMMON_TABLE_MAPPING_HPP
