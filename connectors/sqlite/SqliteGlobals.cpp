#include "SqliteGlobals.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <vector>

#include "ConnectorText.hpp"
#include "KyMsgFormat.hpp"
#include "SqliteConnection.hpp"
#include "SqliteDialect.hpp"
#include "SqliteError.hpp"

// The connector's one globals object: constructing it registers the connector with the kit.
static SqliteGlobals theGlobals;

namespace {

// PRAGMA quick_check: every page and index entry readable and consistent. Throws when not.
void checkIntegrity(SqliteConnection& connection) {
  Statement st = connection.prepare("PRAGMA quick_check");
  std::string problems;
  while (st.step()) {
    std::string row = st.text(0);
    if (row == "ok") continue;
    if (problems.size() < 400) problems += (problems.empty() ? "" : "; ") + row;
  }
  if (!problems.empty()) {
    throw SqliteError("the database file is corrupt (" + problems + ")", SQLITE_CORRUPT);
  }
}

}  // namespace

std::string SqliteGlobals::property(const char* name) {
  return connectortext::property(*this, name);
}

long long SqliteGlobals::numberProperty(const char* name, long long fallback) {
  return connectortext::numberProperty(*this, "SQLite connector", name, fallback);
}

int SqliteGlobals::init(KyVersion*) {
  SqliteConnection::Options options;
  options.path = property("DatabasePath");
  if (options.path.empty()) options.path = DEFAULT_DATABASE;
  const std::string& path = options.path;
  std::string quantity = property("PollQuantity");
  poller.setQuantity(quantity.empty() ? 0 : std::atoi(quantity.c_str()));
  const bool createTables = connectortext::switchProperty(*this, "CreateTables");
  const bool checkAtStart = connectortext::switchProperty(*this, "CheckAtStart");
  options.busyTimeoutMs = static_cast<int>(std::min<long long>(
      numberProperty("BusyTimeout", SqliteConnection::Options::DEFAULT_BUSY_TIMEOUT_MS),
      24LL * 3600 * 1000));
  options.maxPageCount = numberProperty("MaxPageCount", 0);
  bool readOnly = false;
  try {
    pool.open(options);
    theSchema.reset(createTables);
    poller.restart();
    SqliteConnection& connection = pool.forThisThread();
    if (checkAtStart) checkIntegrity(connection);
    readOnly = connection.readOnly();
    if (!readOnly) {
      if (createTables) connection.exec(SqliteDialect::createSharedTablesSql());
      // Events a previous run handed out but never saw taken are pending again.
      poller.requeueTaken(connection);
    }
  } catch (const std::exception& e) {
    if (spoilsConnection(e)) pool.discard();
    std::string text = "SQLite connector: database \"" + path + "\" unusable: " + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
  if (readOnly) {
    // Retrieves work; writes fail "readonly" and each failure reopens the connection, so the
    // connector writes again as soon as the file may be written.
    std::string text = "SQLite connector: database \"" + path +
                       "\" is read-only: every write fails until it can be written";
    logMsg(text.c_str(), KyMsgFormat::MLV_WARNING);
    pool.discard();
  }
  std::string text = "SQLite connector " + std::string(VERSION) + ": database \"" + path +
                     "\", SQLite " + sqlite3_libversion();
  logMsg(text.c_str(), KyMsgFormat::MLV_INFO);
  return 0;
}

int SqliteGlobals::pollForEvents() {
  try {
    poller.poll();
    return 0;
  } catch (const std::exception& e) {
    if (spoilsConnection(e)) pool.discard();
    std::string text = std::string("SQLite connector: polling for events failed: ") + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
}

int SqliteGlobals::terminate() {
  pool.closeAll();
  return 0;
}
