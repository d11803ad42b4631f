#include "Statement.hpp"

#include "SqliteError.hpp"

Statement::~Statement() {
  if (inUse == nullptr) {
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  *inUse = false;
}

void Statement::check(int rc) const {
  if (rc != SQLITE_OK) throw databaseError(db);
}

void Statement::bindText(int index, std::optional<std::string_view> text) {
  if (!text) {
    check(sqlite3_bind_null(stmt, index));
    return;
  }
  // An empty view may have no data pointer, and a null pointer would bind NULL: '' is meant.
  const char* data = text->data() != nullptr ? text->data() : "";
  check(sqlite3_bind_text(stmt, index, data, static_cast<int>(text->size()), SQLITE_TRANSIENT));
}

void Statement::bindInt(int index, long long value) {
  check(sqlite3_bind_int64(stmt, index, value));
}

bool Statement::step() {
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement's own error, read before the reset that readies the statement again.
  SqliteError error = databaseError(db);
  sqlite3_reset(stmt);
  throw error;
}

bool Statement::isNull(int column) const {
  return sqlite3_column_type(stmt, column) == SQLITE_NULL;
}

std::string Statement::text(int column) const {
  const unsigned char* p = sqlite3_column_text(stmt, column);
  if (p == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(p),
                     static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
}

long long Statement::integer(int column) const { return sqlite3_column_int64(stmt, column); }
