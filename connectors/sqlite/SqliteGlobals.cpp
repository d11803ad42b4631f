#include "SqliteGlobals.hpp"

#include <sqlite3.h>
#include <strings.h>

#include <cstdlib>
#include <exception>
#include <vector>

#include "KyMsgFormat.hpp"
#include "SqliteConnection.hpp"
#include "TableMapping.hpp"

namespace {

char versionText[] = "1.0.0";

}  // namespace

const char* const SqliteGlobals::DEFAULT_DATABASE = "sqlite-connector.db";

// The connector's one globals object: constructing it registers the connector with the kit.
static SqliteGlobals theGlobals;

SqliteGlobals::SqliteGlobals() : handler(*this), poller(pool, theSchema) {}

SqliteGlobals::~SqliteGlobals() = default;

BOHandlerCPP* SqliteGlobals::getBOHandlerforBO(char*) { return &handler; }

std::string SqliteGlobals::property(const char* name) {
  // Paths may be long; a value that fills the buffer is cut, so the buffer is generous.
  std::vector<char> value(4096, '\0');
  getConfigProp(name, value.data(), static_cast<int>(value.size()));
  value.back() = '\0';
  return value.data();
}

int SqliteGlobals::init(KyVersion*) {
  std::string path = property("DatabasePath");
  if (path.empty()) path = DEFAULT_DATABASE;
  std::string quantity = property("PollQuantity");
  poller.setQuantity(quantity.empty() ? 0 : std::atoi(quantity.c_str()));
  const bool createTables = strcasecmp(property("CreateTables").c_str(), "false") != 0;
  try {
    pool.open(path);
    theSchema.reset(createTables);
    SqliteConnection& connection = pool.forThisThread();
    if (createTables) connection.exec(TableMapping::createSharedTablesSql());
    // Events a previous run handed out but never saw taken are pending again.
    connection.exec("UPDATE vy_event SET taken = 0 WHERE taken <> 0");
  } catch (const std::exception& e) {
    std::string text = "SQLite connector: database \"" + path + "\" unusable: " + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
  std::string text = "SQLite connector " + std::string(versionText) + ": database \"" + path +
                     "\", SQLite " + sqlite3_libversion();
  logMsg(text.c_str(), KyMsgFormat::MLV_INFO);
  return 0;
}

int SqliteGlobals::pollForEvents() {
  try {
    poller.poll(*getTheSubHandler());
    return 0;
  } catch (const std::exception& e) {
    std::string text = std::string("SQLite connector: polling for events failed: ") + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
}

int SqliteGlobals::terminate() {
  pool.closeAll();
  return 0;
}

char* SqliteGlobals::getVersion() { return versionText; }
