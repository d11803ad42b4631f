#include "PgTransaction.hpp"

#include "PgConnection.hpp"
#include "PgError.hpp"

PgTransaction::PgTransaction(PgConnection& c) : connection(c), nested(c.inTransaction()) {
  if (nested) {
    connection.exec("SAVEPOINT vy_nested");
  } else {
    connection.begin();
  }
}

PgTransaction::~PgTransaction() {
  if (done || !connection.usable()) return;
  try {
    connection.exec(nested ? "ROLLBACK TO SAVEPOINT vy_nested; RELEASE SAVEPOINT vy_nested"
                           : "ROLLBACK");
  } catch (...) {
    // The server rolls back on its own when the connection closes; a destructor has nobody to
    // tell.
  }
}

void PgTransaction::commit() {
  if (nested) {
    connection.exec("RELEASE SAVEPOINT vy_nested");
    done = true;
    return;
  }
  try {
    connection.exec("COMMIT");
  } catch (const PgError& e) {
    if (!e.connectionLost()) throw;
    throw PgError(
        std::string(e.what()) + " during COMMIT: the changes may or may not have been stored",
        e.sqlstate(), true);
  }
  done = true;
}
