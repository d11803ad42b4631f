// A flow's entry in the performance registry: hashed and compared by the flow's ID.
#ifndef VY_KY_PERF_FLOW_HASHABLE_HPP
#define VY_KY_PERF_FLOW_HASHABLE_HPP

#include "Hashable.hpp"
#include "VyExport.hpp"

class KyPerfFlow;

class VY_EXPORT KyPerfFlowHashable : public Hashable {
 public:
  explicit KyPerfFlowHashable(KyPerfFlow* flow) : flow(flow) {}
  ~KyPerfFlowHashable() override;
  unsigned long hash() const override;
  int isEqual(const Hashable& other) const override;
  KyPerfFlow* getFlow() const { return flow; }

 private:
  KyPerfFlow* flow;  // not owned
};

#endif  // VY_KY_PERF_FLOW_HASHABLE_HPP
