// What connector code throws, told to the connector's author. Every entry point runs connector
// code through guardConnectorCall: what it throws never crosses into the agent; it becomes the
// framework message the entry point has always requested (80401, 80402 or 80403, or the line
// printed by suspend and resume) and one log line that adds what was thrown: a std::exception's
// type and what(), a thrown text, a thrown number, or the type of anything else.
//
// Nothing here touches the JNI: the entry points put the returned text on the agent's status
// object themselves, and code that drives the veneer without a JVM can use the same guard (the
// reporting functions are exported for it). What was thrown is described by ThrownText.hpp.
#ifndef VY_CONNECTOR_FAULT_HPP
#define VY_CONNECTOR_FAULT_HPP

#include <string>

#include "VyExport.hpp"

namespace vy {

// How an entry point reports a connector exception besides the log line.
enum class FaultReport {
  // Requests message 80402 (a thrown int, as "%u"), 80403 (a thrown char text) or 80401 with the
  // operation's name (anything else).
  kVerb,
  // Requests message 80401 with the operation's name.
  kOperation,
  // Prints "User code exception encountered in method <operation>\n" on standard output.
  kPrinted,
};

struct ConnectorFault {
  bool thrown = false;
  // The framework message (or the printed line) followed by what was thrown: the text logged,
  // and the text an entry point with a status object puts on it.
  std::string text;
  explicit operator bool() const { return thrown; }
};

// Inside a catch handler: reports the exception being handled as `report` says, logs the result
// at MLV_ERROR (so it is also kept as the thread's first fatal message) and returns it. Never
// throws.
VY_EXPORT ConnectorFault reportConnectorFault(const char* operation, FaultReport report) noexcept;

// Runs `work` (connector code); what it throws is reported by reportConnectorFault and returned.
// An empty (false) fault means `work` returned normally.
template <typename Work>
ConnectorFault guardConnectorCall(const char* operation, FaultReport report, Work&& work) noexcept {
  try {
    work();
  } catch (...) {
    return reportConnectorFault(operation, report);
  }
  return ConnectorFault();
}

// A handler answered a positive verb result other than 1, which the kit gives no meaning: logs a
// warning naming the type and the result (the result itself still goes to the agent unchanged).
// Returns true when it logged.
VY_EXPORT bool reportUnknownVerbResult(const char* typeName, int result);

// The connector library registered no GenGlobals object: logs, as a fatal message, what is
// missing and how a connector registers itself; returns the text.
VY_EXPORT std::string reportMissingGlobals();

}  // namespace vy

#endif  // VY_CONNECTOR_FAULT_HPP
