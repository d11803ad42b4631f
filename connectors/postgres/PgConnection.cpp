#include "PgConnection.hpp"

#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "PgError.hpp"

namespace {

// libpq's messages end in a newline and may run over several lines; a status text is one line.
std::string oneLine(const char* text) {
  std::string out;
  bool blank = false;
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; p++) {
    bool space = *p == '\n' || *p == '\t' || *p == ' ' || *p == '\r';
    if (space) {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += *p;
  }
  return out;
}

// Longer server messages are cut to this many bytes.
const size_t kShownMessage = 1000;

// SQLSTATE classes and codes that end the connection: connection exceptions (08), the server
// shutting down or restarting (57P01-57P03).
bool endsConnection(const std::string& state) {
  return state.compare(0, 2, "08") == 0 || state == "57P01" || state == "57P02" || state == "57P03";
}

class PgStatement : public SqlStatement {
 public:
  PgStatement(PgConnection& connection, const std::string& name)
      : connection(connection), name(name) {}
  ~PgStatement() override { PQclear(result); }

  void bindText(int index, std::optional<std::string_view> text) override {
    if (index > static_cast<int>(params.size())) params.resize(index);
    params[index - 1] = text ? std::make_optional(std::string(*text)) : std::nullopt;
  }
  void bindInt(int index, long long value) override { bindText(index, std::to_string(value)); }

  bool step() override {
    if (result == nullptr) execute();
    return ++row < rows;
  }
  bool isNull(int column) const override { return PQgetisnull(result, row, column) != 0; }
  std::string text(int column) const override {
    return std::string(PQgetvalue(result, row, column),
                       static_cast<size_t>(PQgetlength(result, row, column)));
  }
  long long integer(int column) const override {
    return std::strtoll(PQgetvalue(result, row, column), nullptr, 10);
  }

 private:
  void execute() {
    std::vector<const char*> values;
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    result = PQexecPrepared(connection.handle(), name.c_str(), static_cast<int>(values.size()),
                            values.data(), nullptr, nullptr, 0);
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      PgError e = connection.error(result);
      PQclear(result);
      result = nullptr;
      throw e;
    }
    rows = PQntuples(result);
  }

  PgConnection& connection;
  const std::string& name;
  std::vector<std::optional<std::string>> params;
  PGresult* result = nullptr;
  int row = -1;
  int rows = 0;
};

}  // namespace

std::map<std::string, std::string> PgConnection::Options::settings() const {
  std::map<std::string, std::string> out;
  if (!connectionString.empty()) {
    char* why = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(connectionString.c_str(), &why);
    if (parsed == nullptr) {
      std::string text = "\"ConnectionString\" is not a libpq connection string or URI: " +
                         oneLine(why != nullptr ? why : "out of memory");
      PQfreemem(why);
      throw PgError(text);
    }
    for (PQconninfoOption* o = parsed; o->keyword != nullptr; o++) {
      if (o->val != nullptr && *o->val != '\0') out[o->keyword] = o->val;
    }
    PQconninfoFree(parsed);
  }
  // The separate settings fill in what the connection string leaves out.
  for (const auto& [key, value] : {std::pair<const char*, const std::string&>{"host", host},
                                   {"port", port},
                                   {"dbname", database},
                                   {"user", user},
                                   {"password", password}}) {
    if (!value.empty() && out.count(key) == 0) out[key] = value;
  }
  if (out.count("connect_timeout") == 0) out["connect_timeout"] = std::to_string(connectTimeoutS);
  if (out.count("application_name") == 0) out["application_name"] = applicationName;
  out["client_encoding"] = "UTF8";
  return out;
}

std::string PgConnection::Options::describe() const {
  std::string out;
  try {
    for (const auto& [key, value] : settings()) {
      if (key == "host" || key == "hostaddr" || key == "port" || key == "dbname" || key == "user") {
        out += (out.empty() ? "" : " ") + key + "=" + value;
      }
    }
  } catch (const PgError&) {
    return "an unreadable \"ConnectionString\"";
  }
  return out.empty() ? "libpq's defaults" : out;
}

PgConnection::PgConnection(const Options& o) : options(o) {
  // A constructor that throws runs no destructor: the failed connection is finished here.
  try {
    connect();
  } catch (...) {
    PQfinish(conn);
    throw;
  }
}

PgConnection::~PgConnection() { PQfinish(conn); }

void PgConnection::connect() {
  PQfinish(conn);
  conn = nullptr;
  names.clear();
  const std::map<std::string, std::string> settings = options.settings();
  std::vector<const char*> keys, values;
  for (const auto& [key, value] : settings) {
    keys.push_back(key.c_str());
    values.push_back(value.c_str());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  conn = PQconnectdbParams(keys.data(), values.data(), 0);
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    std::string why = conn != nullptr ? oneLine(PQerrorMessage(conn)) : "out of memory";
    PQfinish(conn);
    conn = nullptr;
    throw PgError("cannot connect to PostgreSQL (" + options.describe() + "): " + why, "08001",
                  true);
  }
  // Notices ("relation ... already exists, skipping", the server's farewell when it shuts down)
  // would go to standard error; what matters reaches the caller as an error.
  PQsetNoticeProcessor(
      conn, [](void*, const char*) {}, nullptr);
  exec("SET client_min_messages = warning; SET statement_timeout = " +
       std::to_string(options.statementTimeoutMs));
}

PgError PgConnection::error(const PGresult* result) const {
  std::string state;
  std::string message;
  if (result != nullptr) {
    const char* s = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    if (s != nullptr) state = s;
    message = oneLine(PQresultErrorMessage(result));
  }
  if (message.empty()) message = oneLine(PQerrorMessage(conn));
  if (message.rfind("ERROR: ", 0) == 0 || message.rfind("FATAL: ", 0) == 0) {
    message.erase(0, 7);
  }
  // The server's DETAIL repeats the values of a key; a 1 MB key must not become a 1 MB message.
  if (message.size() > kShownMessage) message = message.substr(0, kShownMessage) + "...";
  const bool lost = PQstatus(conn) != CONNECTION_OK || endsConnection(state);
  if (state == "57014" && message.find("statement timeout") != std::string::npos) {
    message += " (\"StatementTimeout\" is " + std::to_string(options.statementTimeoutMs) + " ms)";
  } else if (lost) {
    message += " (the connection to the server was lost)";
  }
  return PgError(message, state, lost);
}

const std::string& PgConnection::prepared(const std::string& sql) {
  auto it = names.find(sql);
  if (it != names.end()) return it->second;
  std::string name = "vy_" + std::to_string(names.size() + 1);
  PGresult* result = PQprepare(conn, name.c_str(), sql.c_str(), 0, nullptr);
  if (PQresultStatus(result) != PGRES_COMMAND_OK) {
    PgError e = error(result);
    PQclear(result);
    throw e;
  }
  PQclear(result);
  return names.emplace(sql, name).first->second;
}

std::unique_ptr<SqlStatement> PgConnection::statement(const std::string& sql) {
  return std::make_unique<PgStatement>(*this, prepared(sql));
}

void PgConnection::exec(const std::string& sql) {
  PGresult* result = PQexec(conn, sql.c_str());
  ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    PgError e = error(result);
    PQclear(result);
    throw e;
  }
  PQclear(result);
}

void PgConnection::begin() {
  if (!usable()) connect();
  try {
    exec("BEGIN");
  } catch (const PgError& e) {
    // The server went away while the connection sat idle: make a new one and begin there.
    if (!e.connectionLost()) throw;
    connect();
    exec("BEGIN");
  }
}

bool PgConnection::inTransaction() const {
  PGTransactionStatusType s = PQtransactionStatus(conn);
  return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}
