// Base class of a connector's globals: every connector library derives exactly one class from it
// and defines exactly one static object of it. Constructing that object registers it with the
// framework (the last one constructed wins); the framework then calls its virtual operations for
// the connector's lifecycle and for the handler of each business object spec.
//
// The non-virtual services reach the agent through the current veneer; they work between n_init
// and n_terminate (including inside init). Texts from generateMsg are the caller's to free with
// freeMemory. Threads: services may be called from any thread.
#ifndef VY_GEN_GLOBALS_HPP
#define VY_GEN_GLOBALS_HPP

#include "VyExport.hpp"

class BOHandlerCPP;
class KyVersion;
class SubscriptionHandlerCPP;
class BusinessObject;
class ReturnStatusDescriptor;
class StringMessage;

class VY_EXPORT GenGlobals {
 public:
  GenGlobals();
  virtual ~GenGlobals();

  // The handler to register on the spec of type `boName`; owned by the connector.
  virtual BOHandlerCPP* getBOHandlerforBO(char* boName) = 0;
  virtual int init(KyVersion* version) = 0;
  virtual int pollForEvents() = 0;
  virtual int terminate() = 0;
  virtual char* getVersion() = 0;
  virtual void suspend() {}
  virtual void resume() {}

  int getConfigProp(const char* name, char* value, int size);
  int getDeltaSupport(const char* boName);
  void logMsg(const char* msg);
  void logMsg(const char* msg, int msgType);
  void traceWrite(int level, const char* msg, const char* text2);
  // The variable arguments are argCount texts (const char*).
  char* generateMsg(int msgNum, int msgType, const char* text, int argCount, ...);
  void generateAndLogMsg(int msgNum, int msgType, int argCount, ...);
  void generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...);
  void freeMemory(char* text);
  SubscriptionHandlerCPP* getTheSubHandler();
  // Sends `bo` to a collaboration and waits: afterwards bo and status hold what the agent
  // returned. A null collaboration name calls nothing and returns -1.
  int consumeSync(char* collabName, BusinessObject& bo, ReturnStatusDescriptor& status);
  int executeCollaboration(char* collabName, BusinessObject& bo, ReturnStatusDescriptor& status);
  // A new StringMessage of the agent's collaboration names; the caller owns it.
  StringMessage* getCollabNames();
  int isAgentCapableOfPolling();
  char* getEncoding() const;
  char* getLocale() const;
};

#endif  // VY_GEN_GLOBALS_HPP
