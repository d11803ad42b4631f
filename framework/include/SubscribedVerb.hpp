// One subscription entry: a verb (or "*" for every verb) and the perf value it came with.
// The entry owns its verb text (malloc'd; setVerb takes ownership of the pointer it is given).
#ifndef VY_SUBSCRIBED_VERB_HPP
#define VY_SUBSCRIBED_VERB_HPP

#include "VyExport.hpp"

class VY_EXPORT SubscribedVerb {
 public:
  explicit SubscribedVerb(const char* verb);
  SubscribedVerb(const char* verb, int perf);
  ~SubscribedVerb();
  SubscribedVerb(const SubscribedVerb&) = delete;
  SubscribedVerb& operator=(const SubscribedVerb&) = delete;

  // Copies `verb` (not null, not empty) and stores `perf`.
  void init(const char* verb, int perf);
  char* getVerb() const { return verb; }
  void setVerb(char* v);
  int getPerf() const { return perf; }
  void setPerf(int p) { perf = p; }

 private:
  char* verb;
  int perf;
};

#endif  // VY_SUBSCRIBED_VERB_HPP
