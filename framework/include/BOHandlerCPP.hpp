// Base class of a connector's business object handlers: the objects that carry out a verb on one
// business object. GenGlobals::getBOHandlerforBO returns one per spec; the framework registers it
// on the spec and gives it the subscription handler, through which it reaches the agent.
//
// doVerbFor returns the status: 1 and -5 keep the object's changes (it is written back to the
// agent); other negative values are failures. Error texts go on `status`. Ownership: the handler
// belongs to the connector for the life of the process. Threads: several agent threads may call
// doVerbFor at once; a handler that keeps state guards it.
#ifndef VY_BO_HANDLER_CPP_HPP
#define VY_BO_HANDLER_CPP_HPP

#include <atomic>

#include "VyExport.hpp"

class BusinessObject;
class TransactionBusinessObject;
class ReturnStatusDescriptor;
class SubscriptionHandlerCPP;

class VY_EXPORT BOHandlerCPP {
 public:
  BOHandlerCPP();
  virtual ~BOHandlerCPP();
  virtual int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) = 0;

  // The link may be set by a spec announcement while verbs on other threads read it.
  void setTheSubHandler(SubscriptionHandlerCPP* handler) {
    theSubHandler.store(handler, std::memory_order_release);
  }
  SubscriptionHandlerCPP* getTheSubHandler() const {
    return theSubHandler.load(std::memory_order_acquire);
  }
  char* getName() const { return name; }
  void setName(char* n) { name = n; }

  int getConfigProp(const char* propName, char* value, int size);
  int getDeltaSupport(const char* boName);
  void logMsg(const char* msg, int msgType);
  void traceWrite(int level, const char* msg, const char* text2);
  char* generateMsg(int msgNum, int msgType, const char* text, int argCount, ...);
  void generateAndLogMsg(int msgNum, int msgType, int argCount, ...);
  void generateAndTraceMsg(int msgNum, int msgType, int traceLevel, int argCount, ...);

  // 1 when the agent answers "true" to delta support for the object's type.
  int doDeltaCheck(BusinessObject* bo);
  // A delta "Update" as retrieve-then-update of the after image.
  int doDeltaWork(BusinessObject& bo, ReturnStatusDescriptor* status);
  // A transaction object's verb after checking its reference attributes against the application.
  int doBestEffort(TransactionBusinessObject& tbo, ReturnStatusDescriptor* status);

 private:
  char* name;
  std::atomic<SubscriptionHandlerCPP*> theSubHandler;
};

#endif  // VY_BO_HANDLER_CPP_HPP
