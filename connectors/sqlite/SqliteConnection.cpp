#include "SqliteConnection.hpp"

#include "SqliteError.hpp"

namespace {

// Long enough for a writer to finish a large tree while others queue behind it.
const int BUSY_TIMEOUT_MS = 30000;

sqlite3_stmt* compile(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    throw SqliteError(sqlite3_errmsg(db));
  }
  return stmt;
}

}  // namespace

SqliteConnection::SqliteConnection(const std::string& path) {
  int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    db = nullptr;
    throw SqliteError("cannot open database \"" + path + "\": " + message);
  }
  sqlite3_busy_timeout(db, BUSY_TIMEOUT_MS);
  sqlite3_extended_result_codes(db, 1);
  try {
    // WAL: readers and one writer at a time without blocking each other; NORMAL synchronous is
    // durable across application crashes, which is what a connector needs.
    exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
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
    std::string message = error != nullptr ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw SqliteError(message);
  }
}
