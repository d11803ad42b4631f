// The one object between the JNI entry points and the connector: it owns the framework-side
// collaborators of a running connector (subscription handler, tracing, message formatting),
// holds the agent object, routes lifecycle calls to the connector's GenGlobals with performance
// timing, and is the funnel through which connector and framework code reach the agent.
//
// There is one current veneer per process (getTheHandlerStuff), created by n_init and destroyed
// by n_terminate. Ownership: the veneer owns its SubscriptionHandlerCPP, Tracing and KyMsgFormat;
// texts returned by the generate operations are the caller's (freeMemory). Threads: any agent or
// connector thread may call it between n_init and n_terminate; the first fatal message is kept
// per thread.
#ifndef VY_JTOCPP_VENEER_HPP
#define VY_JTOCPP_VENEER_HPP

#include <cstdarg>

#include "VyExport.hpp"

class BusObjSpecDirectory;
class Tracing;
class KyMsgFormat;
class SubscriptionHandlerCPP;
class GenGlobals;
class BusinessObject;
class ReturnStatusDescriptor;
class StringMessage;
class KyVersion;
class KyPerfFlow;

class VY_EXPORT JToCPPVeneer {
 public:
  // Becomes the current veneer; reads "ConnectorName", "AgentTraceLevel" and "PerfLevel" from
  // the agent. `globals` is not used: the connector is found through getTheAppGlob().
  JToCPPVeneer(SubscriptionHandlerCPP* subHandler, GenGlobals* globals, void* agentObject);
  ~JToCPPVeneer();
  JToCPPVeneer(const JToCPPVeneer&) = delete;
  JToCPPVeneer& operator=(const JToCPPVeneer&) = delete;

  // ---- collaborators ----
  void setTheDirectory(BusObjSpecDirectory* dir) { theDirectory = dir; }
  void setTheTracing(Tracing* t);
  void setTheMsgFormat(KyMsgFormat* f) { theMsgFormat = f; }
  void setTheSubHandler(SubscriptionHandlerCPP* handler);
  BusObjSpecDirectory* getTheDirectory() const { return theDirectory; }
  Tracing* getTheTracing() const { return theTracing; }
  KyMsgFormat* getTheMsgFormat() const { return theMsgFormat; }
  SubscriptionHandlerCPP* getTheSubHandler() const { return theSubHandler; }
  // The global reference to the agent's BusObjNativeInterface object (a jobject).
  void* getGblBusObjNativeInterface() const { return gblBusObjNativeInterface; }
  static void setTheAppGlob(GenGlobals* globals);
  static GenGlobals* getTheAppGlob();
  static JToCPPVeneer* getTheHandlerStuff();

  // ---- lifecycle routing ----
  // -1 when no connector globals object is registered.
  int init(KyVersion* version);
  int terminate();
  int poll();
  char* getVersion();
  void suspend();
  void resume();
  // Calls the handler registered on the object's spec, timed in the "doverbfor" flow.
  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status);
  // Parses a spec text, asks the connector for its handler and files it in the directory.
  void newBusObjSpec(char* specText);

  // ---- subscriptions and events ----
  int isSubscribed(char* boName, char* verb);
  int subscribeTo(char* boName, char* verb, int perf);
  int cancelSub(char* boName, char* version, char* verb);
  int gotEvent(BusinessObject& bo);
  int consumeSync(char* collabName, BusinessObject& bo, ReturnStatusDescriptor& status);
  StringMessage* getCollabNames();
  int isAgentCapableOfPolling();

  // ---- agent services ----
  // Copies the property into `value` (capacity `size`), cut to size - 1; returns its length,
  // 0 when absent.
  int getConfigProp(const char* name, char* value, int size);
  // 1 exactly when the agent answers "true".
  int getDeltaSupport(const char* boName);
  void logMsg(const char* msg);
  // Messages of type MLV_UNKNOWN, MLV_FATAL or MLV_ERROR are also kept as the first fatal message.
  void logMsg(const char* msg, int msgType);
  // Writes through the running connector's tracing; does nothing when no connector runs (static,
  // so a call through the null veneer of a stopped connector is safe).
  static void traceWrite(int level, const char* msg, const char* text2);
  // True when a line of `level` would be written (tracing on and the level within it).
  bool isTracing(int level) const;
  // The connector's message set (0); `args` holds argCount texts.
  char* generateMsg(int msgNum, int msgType, const char* text, int argCount, va_list args);
  // The framework's message set (1); the variable arguments are argCount texts.
  char* generateKyMsg(int msgNum, int msgType, const char* text, int argCount, ...);
  void generateAndLogMsg(int msgNum, int msgType, int argCount, va_list args);
  // Static for the same reason as traceWrite: nothing happens when no connector runs.
  static void generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount,
                                  va_list args);
  void setTraceLevel(int level);
  void freeMemory(char* p);

  // The first message logged with type MLV_UNKNOWN, MLV_FATAL or MLV_ERROR on the calling
  // thread, prefixed with "%Y/%m/%d %H:%M:%S.xxx: "; kept until deleted.
  static void setfatalErrorFirstMessage(const char* msg);
  static char* getfatalErrorFirstMessage();
  static void deletefatalErrorFirstMessage();

  KyPerfFlow* perf_init_ptr;
  KyPerfFlow* perf_doverbfor_ptr;
  KyPerfFlow* perf_poll_ptr;

 private:
  BusObjSpecDirectory* theDirectory;
  Tracing* theTracing;
  KyMsgFormat* theMsgFormat;
  SubscriptionHandlerCPP* theSubHandler;
  void* gblBusObjNativeInterface;
};

#endif  // VY_JTOCPP_VENEER_HPP
