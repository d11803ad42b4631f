#include "Transaction.hpp"

#include "SqliteConnection.hpp"

Transaction::Transaction(SqliteConnection& connection, bool write)
    : connection(connection), nested(!connection.inAutocommit()) {
  if (nested) {
    connection.exec("SAVEPOINT vy_nested");
  } else {
    connection.exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
  }
}

Transaction::~Transaction() {
  if (done) return;
  try {
    if (nested) {
      connection.exec("ROLLBACK TO vy_nested; RELEASE vy_nested");
    } else if (!connection.inAutocommit()) {
      connection.exec("ROLLBACK");
    }
  } catch (...) {
    // A failed rollback leaves SQLite to roll back on its own when the connection closes; a
    // destructor has nobody to tell.
  }
}

void Transaction::commit() {
  connection.exec(nested ? "RELEASE vy_nested" : "COMMIT");
  done = true;
}
