// Everything the business object model and the connector API ask of the agent, in one place:
// the native encoding and locale, configuration properties, logging, tracing, message
// formatting, delta support, collaboration names, events and synchronous requests.
//
// The model and the API never call the JNI or the agent callbacks themselves; they call the
// current port. n_init installs the port that talks to the JVM; until then (and in processes
// with no agent at all: unit tests, fuzzers, tools) the native port serves, so business objects,
// specs and messages work anywhere.
//
// Threads: any thread may call the current port; installing one is done while no connector code
// runs (n_init, or a test before it builds objects). Texts passed in stay the caller's.
#ifndef VY_AGENT_PORT_HPP
#define VY_AGENT_PORT_HPP

#include "VyExport.hpp"

class BusinessObject;
class ReturnStatusDescriptor;
class StringMessage;

namespace vy {

class VY_EXPORT AgentPort {
 public:
  virtual ~AgentPort();

  // The agent's native encoding and locale; the texts live as long as the port.
  virtual const char* encoding() = 0;
  virtual const char* locale() = 0;
  // Copies the property into `value` (capacity `size`), cut to size - 1; returns its length, 0
  // when absent (value is then empty).
  virtual int configProp(const char* name, char* value, int size) = 0;
  // True when the agent gives the type delta support.
  virtual bool deltaSupport(const char* objectName) = 0;
  // A log line; severity < 0 logs without a severity.
  virtual void log(const char* msg, int severity) = 0;
  // One trace line as the agent writes it: the connector's name, the level, the indent, the
  // message and a second text (each may be null).
  virtual void trace(const char* name, int level, const char* indent, const char* msg,
                     const char* text2) = 0;
  // The formatted message (malloc, the caller frees); never null. `args` is the packed
  // parameter text (comma-separated).
  virtual char* formatMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                          const char* args) = 0;
  // A new message of the agent's collaboration names (the caller owns it), or null.
  virtual StringMessage* collabNames() = 0;
  virtual bool canPoll() = 0;
  // Hands a subscribed event to the agent; the agent's answer (-1 when it could not take it).
  virtual int deliverEvent(BusinessObject& bo) = 0;
  // Sends a synchronous request; the answer replaces `bo` and `status`.
  virtual void consumeSync(const char* collabName, BusinessObject& bo,
                           ReturnStatusDescriptor& status) = 0;
};

// The current port: the installed one, or the native port.
VY_EXPORT AgentPort& agentPort();
// Installs `port` (not owned; it must outlive its use). Null goes back to the native port.
VY_EXPORT void setAgentPort(AgentPort* port);
// True when a port other than the native one is installed.
VY_EXPORT bool agentPortInstalled();

}  // namespace vy

#endif  // VY_AGENT_PORT_HPP
