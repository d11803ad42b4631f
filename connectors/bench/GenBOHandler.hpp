// The benchmark connector's one handler for every business object type. Each verb waits the
// configured time, then succeeds with the configured probability: a successful Create gives
// every key attribute of the tree a new random decimal value and answers 1, Update answers 1,
// Retrieve 0; a failure answers -1, and so do Delete and every other verb.
//
// Configuration, read once by the first verb: "ConsumeSuccessRate" (percentage of verbs that
// succeed; absent, none do) and "AppResponseInMSecs" (wait per verb in milliseconds).
// Each verb logs "\ndoVerbFor on BOHandler named <type> for verb <verb>, Count = <n>".
//
// Threads: any number of agent threads may run verbs at once. The status descriptor is never
// touched.
#ifndef VY_BENCH_GEN_BO_HANDLER_HPP
#define VY_BENCH_GEN_BO_HANDLER_HPP

#include "BOHandlerCPP.hpp"

class GenBOHandler : public BOHandlerCPP {
 public:
  GenBOHandler();
  ~GenBOHandler() override;

  int doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) override;

  // Each answers from the calling thread's last random value (random_value).
  int doCreate(BusinessObject& bo);
  int doRetrieve(BusinessObject& bo);
  int doUpdate(BusinessObject& bo);
  int doDelete(BusinessObject& bo);
};

#endif  // VY_BENCH_GEN_BO_HANDLER_HPP
