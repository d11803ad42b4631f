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

class Statement {
 public:
  // `inUse` is the cache's lease flag (cleared on destruction), or null for a private statement
  // that this object finalizes.
  Statement(sqlite3* db, sqlite3_stmt* stmt, bool* inUse) : db(db), stmt(stmt), inUse(inUse) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters are numbered from 1. No text (nullopt) binds SQL NULL, an empty one ''.
  void bindText(int index, std::optional<std::string_view> text);
  void bindInt(int index, long long value);

  // Advances to the next row: true when there is one, false when the statement is done.
  bool step();
  // Runs a statement that returns no rows (or whose rows are not wanted).
  void run();

  bool isNull(int column) const;
  // The column as text; an empty string for NULL.
  std::string text(int column) const;
  long long integer(int column) const;

 private:
  void check(int rc) const;

  sqlite3* db;
  sqlite3_stmt* stmt;
  bool* inUse;
};

#endif  // SQLITE_CONNECTOR_STATEMENT_HPP
