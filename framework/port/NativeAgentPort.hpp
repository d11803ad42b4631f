// The agent port that needs no agent: what a process without a JVM gets, and what the test kit
// drives. It answers the way a plain agent would (encoding "UTF-8", locale "en_US", properties
// from a map, delta support for the types named, the collaboration names given) and keeps every
// log line, trace line and formatted message so a test can read them.
//
// Messages are formatted as "<number>: <packed arguments>", followed by " | <text>" when a text
// is given. Events go to the sink a test sets (by default they are kept and answered 0, the
// agent's "taken"); a synchronous request goes to the responder a test sets (by default it fails
// with a text saying no collaboration answers).
//
// Threads: every member is safe to call from any thread.
#ifndef VY_NATIVE_AGENT_PORT_HPP
#define VY_NATIVE_AGENT_PORT_HPP

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AgentPort.hpp"

namespace vy {

class VY_EXPORT NativeAgentPort : public AgentPort {
 public:
  struct LogLine {
    int severity;  // -1: logged without a severity
    std::string text;
  };
  struct TraceLine {
    int level;
    std::string name, indent, msg, text2;
  };
  struct Message {
    int msgNum, msgType, msgSet, argCount;
    std::string text, args;
  };
  // Called with the event's wire text; answers what the agent answers.
  using EventSink = std::function<int(const std::string& wireText, BusinessObject& bo)>;
  using SyncResponder =
      std::function<void(const std::string& collab, BusinessObject& bo, ReturnStatusDescriptor&)>;

  NativeAgentPort();
  ~NativeAgentPort() override;

  // ---- what the agent answers ----
  void setEncoding(const std::string& name);
  void setLocale(const std::string& name);
  void setProperty(const std::string& name, const std::string& value);
  void removeProperty(const std::string& name);
  void clearProperties();
  void setDeltaSupport(const std::string& type, bool supported);
  void setCollabNames(const std::vector<std::string>& names);
  void setCanPoll(bool capable);
  void setEventSink(EventSink sink);  // null: events are kept and answered with eventAnswer
  void setEventAnswer(int answer);
  void setSyncResponder(SyncResponder responder);

  // ---- what the agent saw ----
  std::vector<LogLine> logLines() const;
  std::vector<TraceLine> traceLines() const;
  std::vector<Message> messages() const;
  std::vector<std::string> events() const;  // wire texts of the events delivered
  void clearRecords();
  // Whether log lines, trace lines, messages and events are kept (on by default). A process that
  // never reads them (a fuzzer) turns it off: nothing is then allocated that outlives a call.
  void setRecording(bool keep);
  // Back to what a new port answers (encoding, locale, no properties, no delta support, no
  // collaboration names, polling, events kept and answered 0, no responder), records cleared.
  void reset();

  // ---- AgentPort ----
  const char* encoding() override;
  const char* locale() override;
  int configProp(const char* name, char* value, int size) override;
  bool deltaSupport(const char* objectName) override;
  void log(const char* msg, int severity) override;
  void trace(const char* name, int level, const char* indent, const char* msg,
             const char* text2) override;
  char* formatMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                  const char* args) override;
  StringMessage* collabNames() override;
  bool canPoll() override;
  int deliverEvent(BusinessObject& bo) override;
  void consumeSync(const char* collabName, BusinessObject& bo,
                   ReturnStatusDescriptor& status) override;

  // The process-wide native port (the default when nothing is installed).
  static NativeAgentPort& instance();

 private:
  // Sets `member` to `value` under the lock.
  template <class T, class V>
  void setLocked(T& member, V&& value) {
    std::lock_guard<std::mutex> guard(lock_);
    member = std::forward<V>(value);
  }
  // A copy of `member` taken under the lock.
  template <class T>
  T copyLocked(const T& member) const {
    std::lock_guard<std::mutex> guard(lock_);
    return member;
  }

  mutable std::mutex lock_;
  // Encoding and locale texts handed out stay valid for the port's life: every name ever set is
  // kept.
  std::set<std::string> names_;
  const char* encoding_;
  const char* locale_;
  std::map<std::string, std::string> properties_;
  std::set<std::string> deltaTypes_;
  std::vector<std::string> collabNames_;
  bool canPoll_ = true;
  bool recording_ = true;
  int eventAnswer_ = 0;
  EventSink eventSink_;
  SyncResponder syncResponder_;
  std::vector<LogLine> logs_;
  std::vector<TraceLine> traces_;
  std::vector<Message> messages_;
  std::vector<std::string> events_;
};

}  // namespace vy

#endif  // VY_NATIVE_AGENT_PORT_HPP
