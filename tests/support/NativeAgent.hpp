// The agent of the native tests: no JVM, the native agent port answers. It has the face of
// vytest::Agent for what the model's tests use (start a veneer for the test connector, file
// specs, script properties and delta answers, read the records), so one test body runs on
// either agent.
//
// Creating one resets the native port (properties, delta answers, records); init() makes a new
// veneer the way n_init does and runs the test connector's init; destroying it after init() runs
// terminate and deletes the veneer, as n_terminate does. Specs are filed through the veneer, so
// a malformed text is logged and never filed, as when the agent announces it.
#ifndef VY_NATIVE_AGENT_HPP
#define VY_NATIVE_AGENT_HPP

#include <string>
#include <vector>

#include "AgentRecords.hpp"
#include "ConnectorFrameworkVersion.hpp"
#include "NativeAgentPort.hpp"
#include "TestConnectorControl.hpp"
#include "VyConnector.hpp"

namespace vytest {

class NativeAgent {
 public:
  NativeAgent() { vy::NativeAgentPort::instance().reset(); }
  ~NativeAgent() {
    JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
    if (initialised_ && v != nullptr) {
      v->terminate();
      delete v;
    }
  }
  NativeAgent(const NativeAgent&) = delete;
  NativeAgent& operator=(const NativeAgent&) = delete;

  static vy::NativeAgentPort& port() { return vy::NativeAgentPort::instance(); }

  // ---- script ----
  static void setProperty(const std::string& name, const char* value) {
    if (value == nullptr)
      port().removeProperty(name);
    else
      port().setProperty(name, value);
  }
  static void setDeltaSupport(const std::string& boName, const char* answer) {
    port().setDeltaSupport(boName, answer != nullptr && std::string(answer) == "true");
  }

  // ---- the veneer, driven as the entry points drive it ----
  int init() {
    vyTestConnectorRegister();
    delete JToCPPVeneer::getTheHandlerStuff();
    JToCPPVeneer* v = new JToCPPVeneer(new SubscriptionHandlerCPP(), nullptr, nullptr);
    initialised_ = true;
    KyVersion version(const_cast<char*>("4.1.0"));
    return v->init(&version);
  }
  void setTraceLevel(int level) {
    JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
    if (v != nullptr) v->setTraceLevel(level);
  }
  void gotBusObjSpec(const std::string& specText) {
    std::string text = specText;
    JToCPPVeneer::getTheHandlerStuff()->newBusObjSpec(&text[0]);
  }
  void gotBusObjSpec16(const std::u16string& specText) { gotBusObjSpec(utf8(specText)); }

  // ---- records ----
  std::vector<LogLine> logs() {
    std::vector<LogLine> out;
    for (const auto& l : port().logLines()) out.push_back({l.text, l.severity});
    return out;
  }
  std::vector<TraceLine> traces() {
    std::vector<TraceLine> out;
    for (const auto& t : port().traceLines())
      out.push_back({t.name, t.level, t.msg, !t.text2.empty(), t.text2});
    return out;
  }
  std::vector<MsgRequest> messages() {
    std::vector<MsgRequest> out;
    for (const auto& m : port().messages())
      out.push_back({m.msgNum, m.msgType, !m.text.empty(), m.text, m.msgSet, m.argCount, m.args});
    return out;
  }
  std::vector<MsgRequest> messagesNumbered(int num) {
    std::vector<MsgRequest> out;
    for (const MsgRequest& m : messages())
      if (m.num == num) out.push_back(m);
    return out;
  }
  bool logged(const std::string& fragment) {
    for (const LogLine& l : logs())
      if (l.text.find(fragment) != std::string::npos) return true;
    return false;
  }
  void clearRecords() { port().clearRecords(); }

  // UTF-16 units as UTF-8 (an unpaired surrogate is written as it stands).
  static std::string utf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
      char32_t cp = units[i];
      if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
          units[i + 1] < 0xE000)
        cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
      if (cp < 0x80) {
        out += static_cast<char>(cp);
      } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
      }
    }
    return out;
  }

 private:
  bool initialised_ = false;
};

}  // namespace vytest

#endif  // VY_NATIVE_AGENT_HPP
