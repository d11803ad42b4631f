// The four verbs on whole business object trees, on one connection, for every SQL connector of
// the kit. Each operation works inside whatever transaction the caller opened (the handlers open
// one per verb) and on tables the caller made ready (the schema's ensure); it throws SqlError
// (or the connector's error derived from it) on any database failure, and the caller's
// transaction then undoes everything.
//
// Ownership: the store keeps references to the caller's session and mappings and owns nothing.
// Objects passed in stay the caller's; objects the store builds are handed to them as children.
// Threads: the connection's thread.
#ifndef VY_SQL_COMMON_OBJECT_STORE_HPP
#define VY_SQL_COMMON_OBJECT_STORE_HPP

#include <optional>
#include <string>
#include <vector>

#include "SqlSession.hpp"
#include "TableMapping.hpp"
#include "VyModern.hpp"

class ObjectStore {
 public:
  ObjectStore(SqlSession& session, const TableMappings& schema)
      : connection(session), schema(schema) {}

  // Carries out bo's verb, "Create", "Retrieve", "Update" or "Delete", as below; false when the
  // object is not there. Throws SqlError for any other verb.
  bool run(BusinessObject& bo, std::string_view verb);

  // Inserts the whole tree. Keys that arrive blank or ignored are generated and written into
  // the objects.
  void create(BusinessObject& bo);
  // Reads the object with bo's keys and its whole tree into bo. False when there is no such row.
  bool retrieve(BusinessObject& bo);
  // Writes the after-image bo: the stored children are compared with bo's by key, so children
  // are created, updated and deleted as needed; afterwards bo holds the stored tree (deleted
  // children removed, generated keys filled in). False when there is no such row.
  bool update(BusinessObject& bo);
  // Deletes the object with bo's keys and its whole tree. False when there is no such row.
  bool remove(BusinessObject& bo);

  // The key values of a top-level object; throws when one is blank or ignored.
  static std::vector<std::string> keyValues(BusinessObject& bo, const TableMapping& mapping);

 private:
  struct Link {
    std::string parentType, parentAttr, parentKey;
    long long position = 0;
    std::string rootType, rootKey;
  };
  struct Row {
    std::string identity;
    std::vector<std::optional<std::string>> values;  // NULL (ignored) as nullopt
  };

  // The identity and the simple attributes of the statement's current row.
  static Row currentRow(const SqlStatement& st, const TableMapping& mapping);
  std::string insertTree(BusinessObject& obj, const Link& link);
  std::string nextKey(const TableMapping& mapping, const vy::Attr& key);
  bool readTop(const TableMapping& mapping, const std::vector<std::string>& keys, Row* row);
  std::vector<Row> readChildren(const TableMapping& mapping, const Link& link);
  void fill(BusinessObject& obj, const TableMapping& mapping, const Row& row);
  void loadChildren(BusinessObject& obj, const TableMapping& mapping, const std::string& identity);
  void deleteChildren(const TableMapping& mapping, const std::string& identity);
  void deleteChild(const TableMapping& mapping, const Link& link, BusinessObject& child);
  // Updates one row's values and position; returns its identity, or "" when there is no row.
  std::string updateRow(BusinessObject& obj, const TableMapping& mapping, const Link& link);
  void applyChildren(BusinessObject& obj, const TableMapping& mapping, const std::string& identity,
                     const Link& root, BusinessObject* old);
  void replaceKeylessChildren(BusinessObject& obj, const vy::Attr& attr,
                              const TableMapping& childMapping, const Link& link);

  SqlSession& connection;
  const TableMappings& schema;
};

#endif  // VY_SQL_COMMON_OBJECT_STORE_HPP
