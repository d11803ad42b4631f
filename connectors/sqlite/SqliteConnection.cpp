#include "SqliteConnection.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include "SqliteError.hpp"

namespace {

// SQLite creates the -wal and -shm files with the database file's mode. A connection that
// opened the file while it could only be read leaves them read-only, and once the database file
// may be written again every new connection still fails "readonly" on the -shm. So when the
// database file is writable and one of them is not, it gets the database file's mode again
// (possible when this process owns it, which it does when one of its connections made it).
void restoreSidecarModes(const std::string& path) {
  struct stat database;
  if (access(path.c_str(), W_OK) != 0 || stat(path.c_str(), &database) != 0) return;
  for (const char* suffix : {"-wal", "-shm"}) {
    std::string sidecar = path + suffix;
    if (access(sidecar.c_str(), F_OK) == 0 && access(sidecar.c_str(), W_OK) != 0) {
      chmod(sidecar.c_str(), database.st_mode & 07777);
    }
  }
}

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
    case SQLITE_CORRUPT:
      message += " (the file is corrupt)";
      break;
    case SQLITE_NOTADB:
      message += " (the file is corrupt or is not an SQLite database)";
      break;
    default:
      break;
  }
  return SqliteError(message, code);
}

SqliteConnection::SqliteConnection(const Options& options) : path(options.path) {
  restoreSidecarModes(options.path);
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

bool SqliteConnection::writableAgain() const {
  return readOnly() && access(path.c_str(), W_OK) == 0;
}

SqliteConnection::~SqliteConnection() {
  for (auto& entry : cache) sqlite3_finalize(entry.second->stmt);
  if (db != nullptr) sqlite3_close_v2(db);
}

sqlite3_stmt* SqliteConnection::lease(const std::string& sql, bool** inUse) {
  auto it = cache.find(sql);
  if (it == cache.end()) {
    auto cached = std::make_unique<Cached>();
    cached->stmt = compile(db, sql);
    it = cache.emplace(sql, std::move(cached)).first;
  }
  Cached& c = *it->second;
  if (c.inUse) {
    *inUse = nullptr;
    return compile(db, sql);
  }
  c.inUse = true;
  *inUse = &c.inUse;
  return c.stmt;
}

Statement SqliteConnection::prepare(const std::string& sql) {
  bool* inUse;
  sqlite3_stmt* stmt = lease(sql, &inUse);
  return Statement(db, stmt, inUse);
}

std::unique_ptr<SqlStatement> SqliteConnection::statement(const std::string& sql) {
  bool* inUse;
  sqlite3_stmt* stmt = lease(sql, &inUse);
  return std::make_unique<Statement>(db, stmt, inUse);
}

void SqliteConnection::exec(const std::string& sql) {
  // No message copy is asked for: sqlite3_errmsg holds the text, and databaseError adds the code
  // and the cause.
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw databaseError(db);
}
