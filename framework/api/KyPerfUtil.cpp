#include "KyPerfUtil.hpp"

#include <atomic>

#include "HashTbl.hpp"
#include "KyPerfFlow.hpp"
#include "KyPerfFlowHashable.hpp"
#include "KyTimer.hpp"

namespace {

// The flows updated since the last report, as KyPerfFlowHashable wrappers owned by the table.
// Built on first use and never destroyed, so neither another library's static constructors nor
// a thread still timing at exit can meet it unbuilt or gone. Guarded by KyPerfFlow's registry
// lock.
HashTbl& registry() {
  static HashTbl* table = new HashTbl(HashTbl::DEFAULT_SIZE);
  return *table;
}

std::atomic<int> gPerfLevel{0};

}  // namespace

KyPerfFlow* KyPerfUtil::createPerfFlow() { return new KyPerfFlow(); }

KyPerfFlow* KyPerfUtil::createPerfFlow(const String first, const String second) {
  KyPerfFlow* flow = new KyPerfFlow();
  flow->init(first, second);
  return flow;
}

void KyPerfUtil::startTimer(KyPerfFlow* flow) {
  __atomic_store_n(&flow->start, static_cast<int>(KyTimer::getCurrentMilli()), __ATOMIC_RELAXED);
}

void KyPerfUtil::stopTimer(KyPerfFlow* flow) {
  __atomic_store_n(&flow->stop, static_cast<int>(KyTimer::getCurrentMilli()), __ATOMIC_RELAXED);
}

int KyPerfUtil::update(KyPerfFlow* flow) {
  const int start = __atomic_load_n(&flow->start, __ATOMIC_RELAXED);
  const int stop = __atomic_load_n(&flow->stop, __ATOMIC_RELAXED);
  if (start == -1 || stop == -1) return RESULT_UPDATE_FAIL;

  std::lock_guard<std::mutex> guard(KyPerfFlow::registryLock());
  // The lookup probe lives on the stack; a wrapper is allocated only when the flow enters the
  // table, and the table's wrappers are released by getAllFlows.
  KyPerfFlowHashable probe(flow);
  Hashable* found = registry().find(probe);
  KyPerfFlow* target = flow;
  int result = RESULT_UPDATE_NEW;
  if (found != nullptr) {
    target = static_cast<KyPerfFlowHashable*>(found)->getFlow();
    result = RESULT_UPDATE_SUCCESS;
  } else {
    registry().add(*new KyPerfFlowHashable(flow));
  }
  target->total += stop - start;
  target->count += 1;
  return result;
}

KyPerfFlow** KyPerfUtil::getAllFlows(int* count) {
  std::lock_guard<std::mutex> guard(KyPerfFlow::registryLock());
  HashTbl& table = registry();
  const unsigned int n = table.size();
  KyPerfFlow** flows = new KyPerfFlow*[n > 0 ? n : 1];
  unsigned int i = 0;
  for (Hashable* entry = table.first(); entry != nullptr && i < n; entry = table.next()) {
    flows[i++] = static_cast<KyPerfFlowHashable*>(entry)->getFlow();
  }
  // The wrappers go with the registry's entries; the flows stay their owners'.
  table.destructAll();
  if (count != nullptr) *count = static_cast<int>(i);
  return flows;
}

void KyPerfUtil::forget(KyPerfFlow* flow) {
  if (flow == nullptr) return;
  std::lock_guard<std::mutex> guard(KyPerfFlow::registryLock());
  KyPerfFlowHashable probe(flow);
  delete registry().remove(probe);
}

void KyPerfUtil::setPerf(int level) { gPerfLevel.store(level, std::memory_order_relaxed); }

int KyPerfUtil::getPerf() { return gPerfLevel.load(std::memory_order_relaxed); }

// Out-of-line definitions, for callers that take the constants by reference.
const int KyPerfUtil::RESULT_UPDATE_FAIL;
const int KyPerfUtil::RESULT_UPDATE_SUCCESS;
const int KyPerfUtil::RESULT_UPDATE_NEW;
