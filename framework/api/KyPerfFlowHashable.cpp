#include "KyPerfFlowHashable.hpp"

#include "KyPerfFlow.hpp"

KyPerfFlowHashable::~KyPerfFlowHashable() = default;

unsigned long KyPerfFlowHashable::hash() const {
  return static_cast<unsigned long>(static_cast<unsigned int>(flow->getID()));
}

int KyPerfFlowHashable::isEqual(const Hashable& other) const {
  return hash() == other.hash() ? 1 : 0;
}
