// The test kit: drive a connector the way the agent does, from a plain unit test.
//
//   #include "VyTesting.hpp"
//
//   auto conn = vy::testing::Connector::inProcess();        // no JVM: fast unit tests
//   // or vy::testing::Connector::inJvm("libmyconn.so");    // the real entry points in a JVM
//   conn->setProperty("DatabasePath", "/tmp/t.db");
//   ASSERT_EQ(0, conn->start());
//   conn->announce(R"(
//     type Order 1.0.0
//       attr Id String key
//       attr Lines Line card=n
//       verb Create
//     end
//     type Line 1.0.0
//       attr No String key
//       verb Create
//     end)");
//   vy::testing::Result r = conn->request(R"(
//     object Order verb=Create
//       Id = 7
//       Lines = object Line verb=Create
//         No = 1
//       end
//     end)");
//   EXPECT_EQ(1, r.status) << r.error;
//   EXPECT_EQ("7", r.object->value("Id"));
//   EXPECT_EQ(1u, r.object->count("Lines"));
//
// Both modes behave the same from the test's side. In-process, the connector runs on the kit's
// native agent port: its GenGlobals object is the one linked into the test or loaded from the
// library given; properties, logs, traces and events stay in the process. In a JVM, the kit
// embeds a JVM (or uses the one already running) with the kit's agent classes, loads the library
// with System.load and calls the real native entry points, exactly as the agent does.
//
// The texts are the load driver's readable formats (see the README): specs as "type ... end"
// blocks, objects as "object <type> verb=<verb> ... end" blocks. A malformed text throws
// vy::testing::Error naming the line and the reason.
//
// Threads: one Connector is driven from one thread at a time (events may be raised by the
// connector from any thread). One connector runs per process at a time, as under the agent.
#ifndef VY_TESTING_HPP
#define VY_TESTING_HPP

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vy {
namespace testing {

// What the kit's inputs did wrong (a malformed spec or object text, an unknown type or
// attribute, a JVM that cannot start): the message names the line and the reason.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& what) : std::runtime_error(what) {}
};

// A business object as plain data: what a request carries and what comes back.
class Object {
 public:
  // One attribute's value.
  struct Value {
    enum Kind { kIgnored, kBlank, kText, kChildren } kind = kIgnored;
    std::string text;              // kText
    std::vector<Object> children;  // kChildren: one for a single child, any number for "n"
    bool deltaContainer = false;   // the container's delta flag
  };

  Object() = default;
  Object(std::string type, std::string verb) : type_(std::move(type)), verb_(std::move(verb)) {}

  // ---- building ----
  Object& set(const std::string& attr, const std::string& text);  // a simple value
  Object& blank(const std::string& attr);                         // the blank marker
  Object& add(const std::string& attr, Object child);             // one more child
  Object& deltaContainer(const std::string& attr);                // sets the container's flag
  Object& setVerb(std::string verb);
  Object& setLocale(std::string locale);
  Object& setDelta(bool delta);

  // ---- reading ----
  const std::string& type() const { return type_; }
  const std::string& verb() const { return verb_; }
  const std::string& locale() const { return locale_; }
  bool isDelta() const { return delta_; }
  // The attributes named, in the order of the type's spec when read from the connector.
  const std::vector<std::pair<std::string, Value>>& attrs() const { return attrs_; }

  // A value by path: "Id", "Customer.Name", "Lines[1].Product" (a missing index is 0). Empty
  // optional for an ignored or missing value; "" for the blank marker.
  std::optional<std::string> value(const std::string& path) const;
  // The object a path names ("Customer", "Lines[2]"), or null.
  const Object* child(const std::string& path) const;
  // How many children an attribute holds ("Lines", "Customer.Addresses").
  size_t count(const std::string& path) const;

  // The readable text ("object <type> verb=... end"), as the load driver prints it.
  std::string text() const;

 private:
  Value& slot(const std::string& attr);
  const Value* find(const std::string& attr) const;

  std::string type_, verb_, locale_ = "en_US";
  bool delta_ = false;
  std::vector<std::pair<std::string, Value>> attrs_;
};

// The answer to one request.
struct Result {
  int status = 0;
  // The error text the connector put on the status (and what it threw), "" when none.
  std::string error;
  // The object sent back (statuses 1 and -5); otherwise the agent keeps its request.
  std::optional<Object> object;
};

struct LogLine {
  int severity;  // -1 when logged without a severity
  std::string text;
};

struct TraceLine {
  int level;
  std::string text, text2;
};

// Where a JVM-mode connector finds the agent classes; the defaults find the kit's jar in the
// build tree or the install (VY_AGENT_JAR in the environment overrides both).
struct JvmOptions {
  std::string agentJar;              // empty: the default
  std::vector<std::string> options;  // extra JVM options ("-Xmx64m", "-Xcheck:jni", ...)
};

class Connector {
 public:
  // The connector whose GenGlobals object is in this process already (linked into the test), or
  // the library at `library` (loaded with dlopen).
  static std::unique_ptr<Connector> inProcess(const std::string& library = "");
  // The library at `library` (a path), loaded by the agent's classes in an embedded JVM.
  static std::unique_ptr<Connector> inJvm(const std::string& library,
                                          const JvmOptions& options = JvmOptions());

  virtual ~Connector();  // stops the connector when it still runs

  // ---- the agent's script ----
  // Configuration properties the connector reads (getConfigProp); set before start or between
  // requests.
  virtual void setProperty(const std::string& name, const std::string& value) = 0;
  // What the agent answers to each event the connector raises (default 1, as the kit's agent
  // answers in both modes).
  virtual void setEventAnswer(int answer) = 0;
  // Types whose Update requests are deltas (getDeltaSupport answers "true").
  virtual void setDeltaSupport(const std::string& type, bool supported) = 0;

  // ---- the lifecycle, as the agent runs it ----
  // init: the connector's result (0 is success). A connector that throws gives -1 and the text
  // in lastError(); a library with no GenGlobals object gives -1 and says so.
  virtual int start() = 0;
  // terminate: the connector's result; the connector can be started again afterwards.
  virtual int stop() = 0;
  virtual bool running() const = 0;
  // pollForEvents: the connector's result; events it raised are collected (events()).
  virtual int poll() = 0;
  // The connector's getVersion text.
  virtual std::string version() = 0;
  // The last failure of start, stop or poll in words ("" when none).
  virtual std::string lastError() const = 0;

  // ---- specs and requests ----
  // Announces every type of a readable spec text, in order (a type may use types announced
  // before or later in the same text).
  void announce(const std::string& specText);
  void announceFile(const std::string& path);
  // Sends one object; its verb is the request's verb.
  Result request(const std::string& objectText);
  virtual Result request(const Object& object) = 0;

  // ---- events ----
  // Subscribes the agent to a type and verb ("" for every verb).
  virtual int subscribe(const std::string& type, const std::string& verb = "") = 0;
  virtual int unsubscribe(const std::string& type, const std::string& verb = "") = 0;
  // The events the agent received since the last call (each object with its verb).
  virtual std::vector<Object> events() = 0;

  // ---- what the agent saw ----
  virtual std::vector<LogLine> logs() = 0;
  virtual std::vector<TraceLine> traces() = 0;
  virtual void clearRecords() = 0;
  // True when a log line contains `fragment`.
  bool logged(const std::string& fragment);

  // Parses an object text against the announced types (what request(text) sends).
  static Object parseObject(const std::string& objectText);

 protected:
  Connector() = default;
  // Files one spec given as wire text with the connector.
  virtual void announceWire(const std::string& specWire) = 0;
};

}  // namespace testing
}  // namespace vy

#endif  // VY_TESTING_HPP
