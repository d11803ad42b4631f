#include "PgGlobals.hpp"

#include <algorithm>
#include <exception>

#include "ConnectorText.hpp"
#include "KyMsgFormat.hpp"
#include "PgError.hpp"

// The connector's one globals object: constructing it registers the connector with the kit.
static PgGlobals theGlobals;

namespace {

const char* const kWho = "PostgreSQL connector";

}  // namespace

int PgGlobals::init(KyVersion*) {
  using connectortext::numberProperty;
  using connectortext::property;
  PgConnection::Options options;
  options.connectionString = property(*this, "ConnectionString");
  options.host = property(*this, "Host");
  options.port = property(*this, "Port");
  options.database = property(*this, "Database");
  options.user = property(*this, "User");
  options.password = property(*this, "Password");
  options.statementTimeoutMs = static_cast<int>(
      std::min<long long>(numberProperty(*this, kWho, "StatementTimeout",
                                         PgConnection::Options::DEFAULT_STATEMENT_TIMEOUT_MS),
                          24LL * 3600 * 1000));
  options.connectTimeoutS = static_cast<int>(
      std::min<long long>(numberProperty(*this, kWho, "ConnectTimeout",
                                         PgConnection::Options::DEFAULT_CONNECT_TIMEOUT_S),
                          3600));
  const int poolSize = static_cast<int>(
      std::min<long long>(numberProperty(*this, kWho, "PoolSize", PgPool::DEFAULT_SIZE), 1000));
  poller.setQuantity(static_cast<int>(std::min<long long>(
      numberProperty(*this, kWho, "PollQuantity", PgEventPoller::DEFAULT_QUANTITY), 100000)));

  pool.open(options, poolSize);
  poller.open(options);
  theSchema.reset(connectortext::switchProperty(*this, "CreateTables"));
  std::string server;
  try {
    PgPool::Lease lease(pool);
    theSchema.prepareShared(*lease);
    server = std::to_string(PQserverVersion((*lease).handle()));
  } catch (const std::exception& e) {
    std::string text = std::string(kWho) + ": cannot start: " + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    pool.closeAll();
    return -1;
  }
  std::string text = std::string(kWho) + " " + std::string(VERSION) + ": " + options.describe() +
                     ", server version " + server + ", pool of " + std::to_string(poolSize);
  logMsg(text.c_str(), KyMsgFormat::MLV_INFO);
  return 0;
}

int PgGlobals::pollForEvents() {
  try {
    poller.poll();
    return 0;
  } catch (const std::exception& e) {
    std::string text = std::string(kWho) + ": polling for events failed: " + e.what();
    logMsg(text.c_str(), KyMsgFormat::MLV_ERROR);
    return -1;
  }
}

int PgGlobals::terminate() {
  poller.close();
  pool.closeAll();
  return 0;
}
