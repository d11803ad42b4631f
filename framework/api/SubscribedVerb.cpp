#include "SubscribedVerb.hpp"

#include <cstdlib>
#include <cstring>

#include "BridgeState.hpp"

namespace {
const char kSource[] = "SubscribedVerb";
}  // namespace

SubscribedVerb::SubscribedVerb(const char* verb) : verb(nullptr), perf(0) { init(verb, 0); }

SubscribedVerb::SubscribedVerb(const char* verb, int perf) : verb(nullptr), perf(0) {
  init(verb, perf);
}

SubscribedVerb::~SubscribedVerb() { std::free(verb); }

void SubscribedVerb::init(const char* verb, int perf) {
  // The handler never passes a null or empty verb (null means "*"; empty is refused), so these
  // only catch connector code that builds entries by hand.
  VY_ENV_ASSERT(verb != NULL, kSource);
  VY_ENV_ASSERT(strlen(verb) > 0, kSource);
  char* old = this->verb;
  this->verb = strdup(verb);
  VY_ENV_ASSERT(this->verb != NULL, kSource);
  std::free(old);
  this->perf = perf;
}

void SubscribedVerb::setVerb(char* v) {
  if (v == verb) return;
  std::free(verb);
  verb = v;
}
