// The agent port of a connector running inside the agent: every service is one of the callbacks
// into the agent object (BusObjNativeImpl.hpp). n_init installs it; it stays for the life of the
// process, since the JVM does.
#include <cstring>

#include "AgentPort.hpp"
#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"

namespace vy {
namespace {

class JvmAgentPort : public AgentPort {
 public:
  const char* encoding() override { return CallJavaForGetEncoding(); }
  const char* locale() override { return CallJavaForGetLocale(); }
  int configProp(const char* name, char* value, int size) override {
    return CallJavaForgetConfigProp(name, value, size);
  }
  bool deltaSupport(const char* objectName) override {
    char answer[10];
    CallJavaForDeltaSupport(objectName, answer);
    return std::strcmp(answer, "true") == 0;
  }
  void log(const char* msg, int severity) override {
    if (severity < 0)
      CallJavaForlogMsg(msg);
    else
      CallJavaForlogMsgSeverity(msg, severity);
  }
  void trace(const char* name, int level, const char* indent, const char* msg,
             const char* text2) override {
    jvmTraceWrite(name, level, indent, msg, text2);
  }
  char* formatMsg(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                  const char* args) override {
    return CallJavaForMsgFormat(msgNum, msgType, text, msgSet, argCount, args);
  }
  StringMessage* collabNames() override { return CallJavaForGetCollabNames(); }
  bool canPoll() override { return CallJavaForIsAgentCapableOfPolling() == 1; }
  int deliverEvent(BusinessObject& bo) override { return jvmDeliverEvent(bo); }
  void consumeSync(const char* collabName, BusinessObject& bo,
                   ReturnStatusDescriptor& status) override {
    CallJavaForConsumeSync(collabName, bo, status);
  }
};

}  // namespace

void installJvmAgentPort() {
  static JvmAgentPort port;
  setAgentPort(&port);
}

}  // namespace vy
