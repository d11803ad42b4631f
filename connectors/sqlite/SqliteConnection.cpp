#include "SqliteConnection.hpp"

#include "SqliteError.hpp"

namespace {

sqlite3_stmt* compile(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    throw databaseError(db);
  }
  return stmt;
}

}  // namespace

bool SqliteError::spoilsConnection() const {
  switch (resultCode & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
      return true;
    default:
      return false;
  }
}

SqliteError databaseError(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db);
  std::string message = sqlite3_errmsg(db);
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      message += " (another connection held it past the busy timeout)";
      break;
    case SQLITE_NOTADB:
      message += " (the file is corrupt or is not an SQLite database)";
      break;
    default:
      break;
  }
  return SqliteError(message, code);
}

SqliteConnection::SqliteConnection(const Options& options) {
  int rc =
      sqlite3_open_v2(options.path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    db = nullptr;
    throw SqliteError("cannot open database \"" + options.path + "\": " + message, rc);
  }
  sqlite3_busy_timeout(db, options.busyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  try {
    // WAL: readers and one writer at a time without blocking each other; NORMAL synchronous is
    // durable across application crashes (a killed process loses no committed transaction),
    // which is what a connector needs. The journal mode is the file's, so only a writable
    // connection sets it: a read-only one reads the file in whatever mode it is.
    if (!readOnly()) exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    if (options.maxPageCount > 0) {
      exec("PRAGMA max_page_count=" + std::to_string(options.maxPageCount));
    }
  } catch (...) {
    sqlite3_close_v2(db);
    db = nullptr;
    throw;
  }
}

SqliteConnection::~SqliteConnection() {
  for (auto& entry : cache) sqlite3_finalize(entry.second->stmt);
  if (db != nullptr) sqlite3_close_v2(db);
}

Statement SqliteConnection::prepare(const std::string& sql) {
  auto it = cache.find(sql);
  if (it == cache.end()) {
    auto cached = std::make_unique<Cached>();
    cached->stmt = compile(db, sql);
    it = cache.emplace(sql, std::move(cached)).first;
  }
  Cached& c = *it->second;
  if (c.inUse) return Statement(db, compile(db, sql), nullptr);
  c.inUse = true;
  return Statement(db, c.stmt, &c.inUse);
}

void SqliteConnection::exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    sqlite3_free(error);
    // The connection's message is the one sqlite3_exec copied, and databaseError adds the code.
    throw databaseError(db);
  }
}
