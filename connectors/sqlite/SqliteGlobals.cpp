#include "SqliteGlobals.hpp"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <vector>

#include "KyMsgFormat.hpp"
#include "SqliteConnection.hpp"
#include "SqliteError.hpp"
#include "TableMapping.hpp"

// The connector's one globals object: constructing it registers the connector with the kit.
static SqliteGlobals theGlobals;

std::string SqliteGlobals::property(const char* name) {
  // Paths may be long; a value that fills the buffer is cut, so the buffer is generous.
  std::vector<char> value(4096, '\0');
  getConfigProp(name, value.data(), static_cast<int>(value.size()));
  value.back() = '\0';
  return value.data();
}

namespace {

// The whole text of a non-negative integer property; false for anything else.
bool parseCount(const std::string& text, long long* value) {
  if (text.empty() || text.size() > 18) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

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

long long SqliteGlobals::numberProperty(const char* name, long long fallback) {
  std::string text = property(name);
  if (text.empty()) return fallback;
  long long value;
  if (parseCount(text, &value)) return value;
  std::string warning = std::string("SQLite connector: \"") + name + "\" is \"" + text +
                        "\", not a whole number; using " + std::to_string(fallback);
  logMsg(warning.c_str(), KyMsgFormat::MLV_WARNING);
  return fallback;
}

int SqliteGlobals::init(KyVersion*) {
  SqliteConnection::Options options;
  options.path = property("DatabasePath");
  if (options.path.empty()) options.path = DEFAULT_DATABASE;
  const std::string& path = options.path;
  std::string quantity = property("PollQuantity");
  poller.setQuantity(quantity.empty() ? 0 : std::atoi(quantity.c_str()));
  const bool createTables = strcasecmp(property("CreateTables").c_str(), "false") != 0;
  const bool checkAtStart = strcasecmp(property("CheckAtStart").c_str(), "false") != 0;
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
      if (createTables) connection.exec(TableMapping::createSharedTablesSql());
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
