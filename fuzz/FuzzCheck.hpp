// How a fuzz target states a contract: a broken one stops the process with a message, which
// libFuzzer records as a crash together with the input.
#ifndef VY_FUZZ_CHECK_HPP
#define VY_FUZZ_CHECK_HPP

#include <cstdio>
#include <cstdlib>

#define VY_FUZZ_CHECK(cond, what)                                                      \
  do {                                                                                 \
    if (!(cond)) {                                                                     \
      std::fprintf(stderr, "contract broken: %s (%s:%d)\n", what, __FILE__, __LINE__); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

#endif  // VY_FUZZ_CHECK_HPP
