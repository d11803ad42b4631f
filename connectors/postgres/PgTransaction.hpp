// One unit of work on a connection: everything done between construction and commit() is kept,
// and everything is undone when the object goes out of scope without commit() (an exception, an
// early return), as the server also does when the connection dies first. That is how each verb
// leaves the database as it was when it fails.
//
// On a connection with no open transaction it begins one (remaking a connection found dead, see
// PgConnection::begin); inside an open one it takes a savepoint, so a verb that runs another
// verb on the same thread (a delta Update retrieves first) nests cleanly. Failures throw
// PgError; a COMMIT that loses the connection says that the outcome is unknown.
// Threads: the connection's thread.
#ifndef PG_CONNECTOR_PG_TRANSACTION_HPP
#define PG_CONNECTOR_PG_TRANSACTION_HPP

class PgConnection;

class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& connection);
  ~PgTransaction();
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;

  void commit();

 private:
  PgConnection& connection;
  bool nested;
  bool done = false;
};

#endif  // PG_CONNECTOR_PG_TRANSACTION_HPP
