// One unit of work on a connection: everything done between construction and commit() is kept,
// and everything is undone when the object goes out of scope without commit() (an exception, an
// early return). That is how each verb leaves the database as it was when it fails.
//
// On a connection with no open transaction it begins one (IMMEDIATE for writers, so two writers
// never deadlock upgrading read locks); inside an open transaction it takes a savepoint, so a
// verb that runs another verb on the same thread (a delta Update retrieves first) nests cleanly.
// Failures throw SqliteError. Threads: the connection's thread.
#ifndef SQLITE_CONNECTOR_TRANSACTION_HPP
#define SQLITE_CONNECTOR_TRANSACTION_HPP

class SqliteConnection;

class Transaction {
 public:
  Transaction(SqliteConnection& connection, bool write);
  // Rolls back unless committed.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit();

 private:
  SqliteConnection& connection;
  bool nested;
  bool done = false;
};

#endif  // SQLITE_CONNECTOR_TRANSACTION_HPP
