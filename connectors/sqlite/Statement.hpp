// One prepared statement in use: binds values, steps through rows and reads columns. A
// Statement leases a statement cached by its SqliteConnection and resets it (and clears its
// bindings) when it goes out of scope, so the cached statement is ready for the next user. When
// the cached statement is already leased (a tree walk that meets the same table again), the
// connection hands out a private copy that this Statement finalizes.
//
// Every value is bound, never spliced into SQL text. Texts are bound with their exact byte
// length and SQLite copies them (SQLITE_TRANSIENT), so the caller's buffers may change at once.
// Failures throw SqliteError carrying the database's own message. Threads: one thread, like the
// connection it belongs to.
#ifndef SQLITE_CONNECTOR_STATEMENT_HPP
#define SQLITE_CONNECTOR_STATEMENT_HPP

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "SqlSession.hpp"

class Statement : public SqlStatement {
 public:
  // `inUse` is the cache's lease flag (cleared on destruction), or null for a private statement
  // that this object finalizes.
  Statement(sqlite3* db, sqlite3_stmt* stmt, bool* inUse) : db(db), stmt(stmt), inUse(inUse) {}
  ~Statement() override;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters are numbered from 1. No text (nullopt) binds SQL NULL, an empty one ''.
  void bindText(int index, std::optional<std::string_view> text) override;
  void bindInt(int index, long long value) override;

  // Advances to the next row: true when there is one, false when the statement is done.
  bool step() override;

  bool isNull(int column) const override;
  // The column as text; an empty string for NULL.
  std::string text(int column) const override;
  long long integer(int column) const override;

 private:
  void check(int rc) const;

  sqlite3* db;
  sqlite3_stmt* stmt;
  bool* inUse;
};

#endif  // SQLITE_CONNECTOR_STATEMENT_HPP
