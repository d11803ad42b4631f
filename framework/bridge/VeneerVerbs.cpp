// The veneer's verb routing and the business object trace helper.
#include <cstdlib>
#include <cstring>
#include <string>

#include "BOHandlerCPP.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "JToCPPVeneer.hpp"
#include "KyPerfUtil.hpp"
#include "KyTimer.hpp"
#include "Tracing.hpp"

void vyRecordPerf(KyPerfFlow* flow, long start, long stop);

int JToCPPVeneer::doVerbFor(BusinessObject& bo, ReturnStatusDescriptor* status) {
  if (isTracing(Tracing::LEVEL4)) {
    std::string line = std::string("JToCPPVeneer::doVerbFor call for Object named: ") +
                       (bo.getName() ? bo.getName() : "");
    traceWrite(Tracing::LEVEL4, line.c_str(), nullptr);
  }
  BusObjSpec* spec = bo.getSpecFor();
  BOHandlerCPP* handler = spec ? spec->getMyBOHandler() : nullptr;
  if (handler == nullptr) return -1;
  bool timed = KyPerfUtil::getPerf() > 0;
  long start = timed ? KyTimer::getCurrentMilli() : 0;
  int result = handler->doVerbFor(bo, status);
  if (timed) vyRecordPerf(perf_doverbfor_ptr, start, KyTimer::getCurrentMilli());
  return result;
}

extern "C" void BusObjNativeImplTraceBO(const char* method, BusinessObject* bo) {
  JToCPPVeneer* v = JToCPPVeneer::getTheHandlerStuff();
  if (v == nullptr || bo == nullptr || !v->isTracing(Tracing::LEVEL4)) return;
  // The dump grows its buffer until the whole object fits.
  for (int size = MSGBUFSIZE; size > 0 && size <= (1 << 30); size *= 4) {
    std::string head = std::string("Method ") + (method ? method : "") +
                       " tracing BusinessObject " + (bo->getName() ? bo->getName() : "");
    if (static_cast<int>(head.size()) >= size) continue;
    char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
    if (buffer == nullptr) return;
    std::memcpy(buffer, head.c_str(), head.size() + 1);
    int used = static_cast<int>(head.size());
    int written = bo->dump(buffer + used, size - used);
    if (written >= 1 && written <= size - used) {
      v->traceWrite(Tracing::LEVEL4, buffer, nullptr);
      std::free(buffer);
      return;
    }
    std::free(buffer);
  }
}
