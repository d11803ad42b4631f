// A subscription handler that shows how many entries a name has, for the subscription tests.
#ifndef VY_TEST_REGISTRY_HPP
#define VY_TEST_REGISTRY_HPP

#include "SubscribedVerb.hpp"
#include "SubscriptionHandlerCPP.hpp"

namespace vytest {

// The classic API takes char* where it only reads: test literals pass through this.
inline char* t(const char* s) { return const_cast<char*>(s); }

class Registry : public SubscriptionHandlerCPP {
 public:
  unsigned int entries(const char* name) {
    PtrSet<SubscribedVerb>* set = getSubList(StringHash(name));
    return set == nullptr ? 0 : set->size();
  }
};

}  // namespace vytest

#endif  // VY_TEST_REGISTRY_HPP
