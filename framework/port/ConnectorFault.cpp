#include "ConnectorFault.hpp"

#include <cstdio>
#include <cstdlib>

#include "AgentLog.hpp"
#include "AgentPort.hpp"
#include "KyMsgFormat.hpp"
#include "ThrownText.hpp"

namespace vy {

namespace {

// A framework message of one argument, requested as the entry points always have: the argument
// is handed over whole, unpacked.
char* requestMsg(int msgNum, const char* arg) {
  return agentPort().formatMsg(msgNum, KyMsgFormat::MLV_ERROR, nullptr, 1, 1, arg);
}

}  // namespace

ConnectorFault reportConnectorFault(const char* operation, FaultReport report) noexcept {
  ConnectorFault fault;
  fault.thrown = true;
  const char* op = operation != nullptr ? operation : "";
  try {
    Thrown what = classifyThrown(std::current_exception());
    std::string headline;
    if (report == FaultReport::kPrinted) {
      std::printf("User code exception encountered in method %s\n", op);
      std::fflush(stdout);
      headline = std::string("User code exception encountered in method ") + op;
    } else {
      char* msg;
      if (report == FaultReport::kVerb && what.kind == Thrown::kInt) {
        char number[16];
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(what.intValue));
        msg = requestMsg(80402, number);
      } else if (report == FaultReport::kVerb && what.kind == Thrown::kCharText) {
        msg = requestMsg(80403, what.text.c_str());
      } else {
        msg = requestMsg(80401, op);
      }
      headline = msg != nullptr ? msg : "";
      std::free(msg);
    }
    fault.text = headline + " (" + op + ": the connector threw " + what.summary + ")";
    logText(fault.text.c_str(), KyMsgFormat::MLV_ERROR);
  } catch (...) {
    // Out of memory while describing: the caller still learns that connector code threw.
    fault.text.clear();
  }
  return fault;
}

bool reportUnknownVerbResult(const char* typeName, int result) {
  if (result <= 1) return false;  // 1, 0 and every negative result have their meaning
  std::string text = "DoVerbFor: the handler for ";
  text += typeName != nullptr ? typeName : "(no type)";
  text += " answered " + std::to_string(result) +
          ", which is not a verb result (1 success, -5 not a failure, 0 done without a result "
          "object, -1 or another negative number a failure); the agent receives it unchanged "
          "and the object is not written back.";
  logText(text.c_str(), KyMsgFormat::MLV_WARNING);
  return true;
}

std::string reportMissingGlobals() {
  std::string text =
      "The connector cannot start: its library registered no connector globals object. A "
      "connector library defines exactly one static object of a GenGlobals subclass (for "
      "example `static MyGlobals theGlobals;` at namespace scope in one of its source files); "
      "constructing it when the library loads registers the connector with the framework. "
      "Check that the agent loaded the connector's own library and that this object is defined "
      "in it.";
  logText(text.c_str(), KyMsgFormat::MLV_FATAL);
  return text;
}

}  // namespace vy
